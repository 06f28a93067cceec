// Creates each control and a report through the installed headers and
// libraries and prints what they hold.
#include <orvoreport2/clsreport.h>
#include <usctextbox.h>
#include <usctoolbstamm.h>

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    uscTextBox box;
    box.setDatenTyp(uscTextBox::Datum);
    box.setText(QStringLiteral("2026/12/06"));
    uscToolbStamm bar;
    OrvoReport2::clsReport report;
    const bool page = report.AddSeite();
    std::printf("%s %s %d\n", qPrintable(box.Text()), qPrintable(bar.metaObject()->className()),
                page ? 1 : 0);
    return 0;
}
