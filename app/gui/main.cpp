// kestrin [FILE]: the desktop program. Opens FILE at start as File, Open would.
#include "MainWindow.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrin (KSN)"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kestrin (KSN)"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    ksn::gui::TForm1 window;
    window.show();
    const QStringList args = QApplication::arguments();
    if (args.size() > 1)
        window.OpenFile(args.at(1));
    return QApplication::exec();
}
