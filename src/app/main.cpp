// Program entry: the application titled "QMR4070", its six windows, the login first.

#include "archive_status.h"
#include "forwarder.h"
#include "login_window.h"
#include "message_boxes.h"
#include "termination_signals.h"
#include "window_set.h"

#include <QApplication>
#include <QTextStream>
#include <optional>

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
    // The login window is the main form: the program ends when it closes, not when
    // the last visible window goes (the login hides itself once the operator is in).
    QApplication::setQuitOnLastWindowClosed(false);
    ui::QtMessageBoxes boxes;
    try {
        // Declared before the windows so it ends after them: the serial port is released
        // before the archive thread is stopped, which may take up to 1.5 s.
        std::optional<archive::ArchiveThread> archiving;
        WindowSet windows(boxes);
        QObject::connect(&windows.Login(), &TForm6::Closed, &application, &QApplication::quit, Qt::QueuedConnection);
        TerminationSignals termination;
        QObject::connect(&termination, &TerminationSignals::Requested, &windows.Login(), &QWidget::close);
        archiving.emplace(archive::LoadConfig(), windows.Store().Path());
        archiving->Follow(windows.Store());
        windows.Login().show();
        return QApplication::exec();
    } catch (...) {
        ui::ShowCurrentError(boxes, nullptr);
    }
    return 1;
}
