// Program entry: the application titled "QMR4070", its six windows, the login first.

#include "login_window.h"
#include "message_boxes.h"
#include "termination_signals.h"
#include "window_set.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QMR4070"));
    // The login window is the main form: the program ends when it closes, not when
    // the last visible window goes (the login hides itself once the operator is in).
    QApplication::setQuitOnLastWindowClosed(false);
    ui::QtMessageBoxes boxes;
    try {
        WindowSet windows(boxes);
        QObject::connect(&windows.Login(), &TForm6::Closed, &application, &QApplication::quit, Qt::QueuedConnection);
        TerminationSignals termination;
        QObject::connect(&termination, &TerminationSignals::Requested, &windows.Login(), &QWidget::close);
        windows.Login().show();
        return QApplication::exec();
    } catch (...) {
        ui::ShowCurrentError(boxes, nullptr);
    }
    return 1;
}
