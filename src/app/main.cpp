// Program entry: the command line first (answers without a window), then the application
// titled "QMR4070", its six windows, the login first.

#include "application_setup.h"
#include "archive_status.h"
#include "command_line.h"
#include "forwarder.h"
#include "login_window.h"
#include "message_boxes.h"
#include "statistics_command.h"
#include "termination_signals.h"
#include "window_set.h"

#include <QApplication>
#include <QTextStream>
#include <optional>

namespace {

QStringList ArgumentList(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

}  // namespace

int main(int argc, char** argv)
{
    const app::CommandLine command = app::ParseCommandLine(ArgumentList(argc, argv));
    if (command.action != app::StartAction::RunWindows) {
        QTextStream out(stdout);
        QTextStream err(stderr);
        if (const int code = app::AnswerAtOnce(command, out, err); code >= 0) return code;
        // The reports: an answer on stdout, without a window or the serial port.
        QCoreApplication report(argc, argv);
        if (command.action == app::StartAction::PrintStatistics)
            return stats::RunStatisticsCommand(QCoreApplication::arguments().mid(1), records::DatabasePath(), out, err);
        return archive::PrintStatus(out, records::DatabasePath());
    }
    QApplication application(argc, argv);
    app::SetUpApplication(application);
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
        windows.Watch().SetOtherHolder([&] { archiving->LetGoOfLocal(); }, [&] { return archiving->LetGo(); },
                                       [&](const QString& path) { archiving->UseLocal(path); });
        windows.Login().show();
        return QApplication::exec();
    } catch (...) {
        ui::ShowCurrentError(boxes, nullptr);
    }
    return 1;
}
