// Program entry: the application titled "QMR4070", its six windows, the login first.

#include "login_window.h"
#include "message_boxes.h"
#include "platform_error.h"
#include "window_set.h"

#include <QApplication>
#include <exception>

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
        QObject::connect(&windows.Login(), &TForm6::Closed, &application, &QApplication::quit,
                         Qt::QueuedConnection);
        windows.Login().show();
        return QApplication::exec();
    } catch (const PlatformError& error) {
        boxes.ShowError(nullptr, error.Text());
    } catch (const std::exception& error) {
        boxes.ShowError(nullptr, QString::fromLocal8Bit(error.what()));
    } catch (...) {
        boxes.ShowError(nullptr, QString());
    }
    return 1;
}
