#!/usr/bin/env bash
# The Debian packages of a build: made with cpack, their contents and desktop
# entries checked, lintian run on them (errors fail), unpacked into a fresh
# root whose programs then run from there (test_installed); as root, the
# packages are also installed into the machine with apt, checked (user,
# folder, unit enabled but not started) and purged again, leaving the machine
# as it was. A machine that already has one of the packages is left alone,
# and so is one where VORSA_PACKAGE_SYSTEM=0 is set.
#
# Usage: package-test.sh BUILD_DIR TEST_INSTALLED
set -euo pipefail

build=$1
installed_test=$2
packages=(vorsa-server vorsa-client orvoreport2 orvo-controls orvo-dev kundenstamm)
unit=vorsasrvd.service
libdir=${VORSA_INSTALL_LIBDIR:-/usr/lib}

work=$(mktemp -d "${TMPDIR:-/tmp}/vorsa-package.XXXXXX")
installed_here=0
user_existed=1

step() { printf '\n== %s\n' "$*"; }
fail() { printf 'FEHLER: %s\n' "$*" >&2; exit 1; }

purge_ours() {
  local present=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "installed" && present+=("$p")
  done
  if ((${#present[@]})); then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -q -o DPkg::Lock::Timeout=300 "${present[@]}" >"$work/purge.log" 2>&1 ||
      { cat "$work/purge.log"; return 1; }
  fi
}

cleanup() {
  local status=$?
  if ((installed_here)); then
    purge_ours || status=1
    if ((!user_existed)) && getent passwd vorsa >/dev/null; then
      userdel vorsa 2>/dev/null || true
      getent group vorsa >/dev/null && groupdel vorsa 2>/dev/null || true
    fi
  fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

step "Pakete bauen (cpack -G DEB)"
started=$(date +%s)
cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
debs=()
for p in "${packages[@]}"; do
  f=$(ls "$work/out/${p}"_*.deb 2>/dev/null || true)
  [ -n "$f" ] || fail "Paket $p fehlt"
  debs+=("$f")
done
echo "${#debs[@]} Pakete in $(($(date +%s) - started)) s"

step "Inhalt"
contains() {
  local deb=$work/out/$1_*.deb path=$2
  dpkg-deb -c $deb | awk '{print $6}' | sed 's|^\./|/|' | grep -qx -- "$path" ||
    fail "$1 enthält $path nicht"
}
for f in /usr/bin/VorsaSrv /usr/bin/vorsa-call /lib/systemd/system/$unit \
         /lib/systemd/system/$unit.d/vorsa-paket.conf \
         /usr/share/applications/vorsasrv.desktop /usr/share/icons/hicolor/48x48/apps/vorsasrv.png \
         /usr/share/icons/hicolor/scalable/apps/vorsasrv.svg \
         /usr/share/vorsa-server/sql/sqlite/TTelefonNr.sql /usr/share/vorsa-server/sql/postgresql/TKunden.sql \
         /usr/share/vorsa-server/icons/anrufer-bekannt.png /usr/share/doc/vorsa-server/copyright \
         /usr/share/man/man1/VorsaSrv.1.gz; do
  contains vorsa-server "$f"
done
# The line modules, where they were built.
for m in "$build"/lib/*/vorsa/lines/*.so "$build"/lib/vorsa/lines/*.so; do
  if [ -e "$m" ]; then contains vorsa-server "$libdir/vorsa/lines/$(basename "$m")"; fi
done
for f in /usr/bin/VorsaCl /usr/share/applications/vorsacl.desktop \
         /usr/share/icons/hicolor/16x16/apps/vorsacl.png /usr/share/icons/hicolor/256x256/apps/vorsacl.png \
         /usr/share/vorsa-client/icons/anrufer-unbekannt.png; do
  contains vorsa-client "$f"
done
for f in /usr/bin/OrvoReport2 "$libdir/libOrvoReport2.so.1" \
         /usr/share/dbus-1/services/OrvoReport2.clsReport.service \
         /usr/share/dbus-1/interfaces/OrvoReport2.clsReport.xml /usr/share/applications/orvoreport2.desktop; do
  contains orvoreport2 "$f"
done
for f in "$libdir/libOrvoTextBox.so.1" "$libdir/libOrvoToolbStamm.so.1" "$libdir/libOrvoControlHost.so.1" \
         "$libdir/qt6/plugins/designer/libOrvoTextBoxPlugin.so" \
         "$libdir/qt6/plugins/designer/libOrvoToolbStammPlugin.so"; do
  contains orvo-controls "$f"
done
for f in /usr/include/orvo/usctextbox.h /usr/include/orvoreport2/clsreport.h "$libdir/libOrvoTextBox.so" \
         "$libdir/cmake/OrvoTextBox/OrvoTextBoxConfig.cmake" "$libdir/cmake/OrvoReport2/OrvoReport2Config.cmake"; do
  contains orvo-dev "$f"
done
contains kundenstamm /usr/bin/Kundenstamm
for p in vorsa-server vorsa-client orvoreport2 orvo-controls kundenstamm; do
  dpkg-deb -f "$work/out/${p}"_*.deb Depends | grep -q "libqt6core6" || fail "$p: Abhängigkeiten nicht berechnet"
done
dpkg-deb -f "$work/out/kundenstamm"_*.deb Depends | grep -q "orvo-controls (= " ||
  fail "kundenstamm hängt nicht von orvo-controls ab"
# No file in two packages.
for d in "${debs[@]}"; do dpkg-deb -c "$d" | awk '$1 !~ /^d/ {print $6}'; done | sort | uniq -d >"$work/twice"
[ ! -s "$work/twice" ] || { cat "$work/twice"; fail "Dateien in mehreren Paketen"; }

step "Auspacken"
mkdir -p "$work/root"
for d in "${debs[@]}"; do dpkg-deb -x "$d" "$work/root"; done
for f in "$work"/root/usr/share/applications/*.desktop; do
  desktop-file-validate "$f" || fail "$(basename "$f")"
done

step "lintian"
lintian --tag-display-limit 0 "${debs[@]}" 2>&1 | grep -v "running with root privileges" | tee "$work/lintian.log" || true
grep -q '^E:' "$work/lintian.log" && fail "lintian meldet Fehler"

step "Programme im ausgepackten Wurzelordner"
VORSA_INSTALL_ROOT=$work/root "$installed_test"

step "Installation in dieses System"
if [ "$(id -u)" -ne 0 ] || [ "${VORSA_PACKAGE_SYSTEM:-1}" = 0 ]; then
  echo "übersprungen: nicht root oder VORSA_PACKAGE_SYSTEM=0"
  exit 0
fi
for p in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "installed"; then
    echo "übersprungen: $p ist hier schon installiert und bleibt unberührt"
    exit 0
  fi
done
getent passwd vorsa >/dev/null || user_existed=0
[ ! -e /var/lib/vorsa ] || { echo "übersprungen: /var/lib/vorsa gibt es schon"; exit 0; }
installed_here=1
started=$(date +%s)
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
  -o DPkg::Lock::Timeout=300 "${debs[@]}" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "apt-get install"; }
echo "installiert in $(($(date +%s) - started)) s"
getent passwd vorsa >/dev/null || fail "Benutzer vorsa fehlt"
[ "$(stat -c %U:%G /var/lib/vorsa)" = vorsa:vorsa ] || fail "/var/lib/vorsa gehört nicht vorsa"
[ -L /etc/systemd/system/multi-user.target.wants/$unit ] || fail "$unit ist nicht eingeschaltet"
if [ -d /run/systemd/system ]; then
  ! systemctl is-active --quiet $unit || fail "$unit läuft ohne Datenverbindung"
fi
VORSA_INSTALL_ROOT=/ "$installed_test" serverStartsFromItsUnitAndAnswersAClient \
  serverLoadsTheSipLineFromItsModule \
  clientStartsInTheUsersFolderAndConnects reportProgramOffersReportsOnTheSessionBus customerProgramRuns

step "Entfernen (purge)"
purge_ours
for p in "${packages[@]}"; do
  ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "installed" || fail "$p ist noch installiert"
done
[ ! -e /lib/systemd/system/$unit ] || fail "$unit ist geblieben"
[ ! -e /etc/systemd/system/multi-user.target.wants/$unit ] || fail "$unit ist noch eingeschaltet"
[ ! -e /var/lib/vorsa ] || fail "der leere Ordner /var/lib/vorsa ist geblieben"
[ ! -e "$libdir/qt6/plugins/designer/libOrvoTextBoxPlugin.so" ] || fail "Designer-Plugin ist geblieben"
echo "entfernt"
