// Program entry: the application titled "QMR4070", its six windows, the login first.

#include "archive_status.h"
#include "forwarder.h"
#include "login_window.h"
#include "message_boxes.h"
#include "termination_signals.h"
#include "window_set.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTextStream>
#include <QTranslator>

int main(int argc, char** argv)
{
    if (archive::IsStatusRequest(argc, argv)) {
        // An answer on stdout, without a window or the serial port.
        QCoreApplication status(argc, argv);
        QTextStream out(stdout);
        return archive::PrintStatus(out, records::DatabasePath());
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QMR4070"));
    // Qt's own texts (standard buttons, edit menus, serial port errors) in Chinese like
    // the windows; where the translations are not installed they stay English.
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    const QString translations = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    QTranslator baseTexts, serialTexts;
    if (baseTexts.load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"), translations))
        QApplication::installTranslator(&baseTexts);
    if (serialTexts.load(chinese, QStringLiteral("qtserialport"), QStringLiteral("_"), translations))
        QApplication::installTranslator(&serialTexts);
    // The login window is the main form: the program ends when it closes, not when
    // the last visible window goes (the login hides itself once the operator is in).
    QApplication::setQuitOnLastWindowClosed(false);
    ui::QtMessageBoxes boxes;
    try {
        WindowSet windows(boxes);
        QObject::connect(&windows.Login(), &TForm6::Closed, &application, &QApplication::quit, Qt::QueuedConnection);
        TerminationSignals termination;
        QObject::connect(&termination, &TerminationSignals::Requested, &windows.Login(), &QWidget::close);
        archive::ArchiveThread archiving(archive::LoadConfig(), windows.Store().Path());
        archiving.Follow(windows.Store());
        windows.Login().show();
        return QApplication::exec();
    } catch (...) {
        ui::ShowCurrentError(boxes, nullptr);
    }
    return 1;
}
