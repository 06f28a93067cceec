#!/usr/bin/python3
"""A two-page report through the report program OrvoReport2 over D-Bus.

    report/examples/bericht.py                  show it in the preview window
    report/examples/bericht.py --sofort         print it at once, no preview
    report/examples/bericht.py --pdf DATEI.pdf  write it as a PDF file
    report/examples/bericht.py --drucker 1 ...  on printer 1 of the list (from 0)

The session bus starts OrvoReport2 on the first call (its service file must be
installed, or the program already running). Needs python3-dbus.
"""
import argparse
import os
import sys

import dbus

BUS_NAME = "OrvoReport2.clsReport"
REPORT = "OrvoReport2.clsReport"


def neuer_report(bus):
    fabrik = dbus.Interface(bus.get_object(BUS_NAME, "/OrvoReport2"), "OrvoReport2.Factory")
    obj = bus.get_object(BUS_NAME, fabrik.Create())
    return dbus.Interface(obj, REPORT), dbus.Interface(obj, dbus.PROPERTIES_IFACE)


def fuellen(report, props):
    """Two pages: a heading, a table with lines and a box, a picture, page numbers."""
    setzen = lambda name, wert: props.Set(REPORT, name, wert)
    setzen("Caption", "Beispielbericht")
    rechts = float(props.Get(REPORT, "RechterRand")) - 1.5
    logo = os.path.join(os.path.dirname(os.path.abspath(__file__)), "logo.png")
    fahrten = [("07:15", "Bahnhofstraße 4", "Flughafen", 48.50),
               ("08:40", "Am Markt 1", "Klinikum", 12.80),
               ("09:05", "Lindenweg 17", "Hauptbahnhof", 9.60)]
    for seite in (1, 2):
        report.AddSeite()
        report.AddBildObjekt(logo, 1.0, rechts - 2.2)
        setzen("FontSize", dbus.Double(16))
        setzen("FontBold", True)
        report.AddTextObjekt("Fahrtenliste", 1.2, 1.5, "L")
        setzen("FontSize", dbus.Double(10))
        setzen("FontBold", False)
        report.AddLineObjekt(2, 2.3, 1.5, 2.3, rechts, 0, "", "")
        zeile = 3.0
        for zeit, von, nach, betrag in fahrten:
            report.AddTextObjekt(zeit, zeile, 1.5, "L")
            report.AddTextObjekt(von, zeile, 3.0, "L")
            report.AddTextObjekt(nach, zeile, 8.5, "L")
            report.AddTextObjekt(f"{betrag:.2f} €".replace(".", ","), zeile, rechts, "R")
            zeile += 0.6
        # A grey box with a red frame around the sum.
        report.AddLineObjekt(1, zeile, rechts - 4.0, zeile + 0.8, rechts + 0.2, 0xE0E0E0, "B", "F")
        report.AddLineObjekt(1, zeile, rechts - 4.0, zeile + 0.8, rechts + 0.2, 0x0000C0, "B", "")
        setzen("FontBold", True)
        summe = sum(f[3] for f in fahrten)
        report.AddTextObjekt(f"Summe {summe:.2f} €".replace(".", ","), zeile + 0.15, rechts, "R")
        setzen("FontBold", False)
        setzen("ForeColor", dbus.Int32(0x808080))
        report.AddTextObjekt(f"Seite {seite} von 2", 27.0, (rechts + 1.5) / 2, "C")
        setzen("ForeColor", dbus.Int32(0))


def main():
    argumente = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    argumente.add_argument("--sofort", action="store_true",
                           help="ohne Vorschau auf dem Drucker ausgeben")
    argumente.add_argument("--pdf", metavar="DATEI", help="als PDF-Datei speichern")
    argumente.add_argument("--drucker", type=int, metavar="NR",
                           help="Nummer des Druckers in der Liste (ab 0)")
    args = argumente.parse_args()

    report, props = neuer_report(dbus.SessionBus())
    if args.drucker is not None:
        props.Set(REPORT, "PrinterSelection", dbus.Int32(args.drucker))
    fuellen(report, props)
    if args.pdf:
        if not report.PdfSpeichern(os.path.abspath(args.pdf)):
            print(f"{args.pdf} kann nicht geschrieben werden", file=sys.stderr)
            return 1
    if args.sofort:
        # All pages go to the printer with the stored settings; the preview
        # window closes by itself. Release waits until they are printed.
        props.Set(REPORT, "Copies", dbus.Int32(1))
        props.Set(REPORT, "SofortDrucken", True)
        report.SeiteAusgeben(1)
        report.Release()
    elif not args.pdf:
        # The preview stays open when this script ends; the user closes it.
        report.Show()
        report.SeiteAusgeben(1)
    else:
        report.Release()
    return 0


if __name__ == "__main__":
    sys.exit(main())
