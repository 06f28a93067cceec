#!/usr/bin/env bash
# Installs the Debian 12 packages that the build, the programs and the tests need.
# Run as root (or through sudo). Packages already there are left alone.
set -euo pipefail

packages=(
  # build
  cmake g++ make pkg-config ninja-build
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libqt6sql6-sqlite libqt6sql6-psql libqt6sql6-odbc libsqlite3-dev libpq-dev
  libssl-dev # the TLS clients of bench_calls_notify
  # the index build through ODBC is tested against PostgreSQL's ODBC driver
  odbc-postgresql
  # programs and tests
  sqlite3 postgresql xvfb xauth procps
  # telephony lines (SIP, CAPI), their test peers and the fuzzers
  libsofia-sip-ua-dev libsofia-sip-ua-glib-dev libphonenumber-dev libcapi20-dev
  sip-tester kamailio clang
  # controls (Designer plugins, QUiLoader) and German texts of Qt's dialogs
  qt6-tools-dev qt6-tools-dev-tools designer-qt6 libqt6opengl6-dev libxkbcommon-dev
  qt6-translations-l10n
  # report program: printing through CUPS, its test queues, PDF checks, fonts, D-Bus
  cups cups-client cups-bsd printer-driver-cups-pdf poppler-utils fonts-liberation2 libcups2-dev
  dbus python3-dbus
  # TLS certificates in tests, Debian packages and their checks
  openssl dpkg-dev fakeroot lintian
  # icons of the desktop entries (rendered from SVG), checks of the desktop entries
  librsvg2-bin desktop-file-utils
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  # The tests start their own registrar on loopback; the system one stays off.
  [ -e /etc/systemd/system/kamailio.service ] || $SUDO ln -s /dev/null /etc/systemd/system/kamailio.service
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
