#pragma once
// TForm6, "用户登录": the login gate, and the program's main form (closing it ends
// the program). It hands port 1 between the main window's Com and its own Com1.

#include <QWidget>
#include <functional>

class QLineEdit;
class QPushButton;
class WindowSet;

namespace wire {
class SerialControl;
}

class TForm6 : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kAdministratorPassword = "582";

    explicit TForm6(WindowSet& windows);

    wire::SerialControl* Com1;
    QLineEdit* Edit3;
    QPushButton* Button3;
    QLineEdit* Edit1;
    QPushButton* Button4;
    QPushButton* Button2;

    void Button3Click();
    void Com1Comm();
    void Button4Click();
    void Button2Click();

signals:
    // The main form was closed: the program ends.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Guarded(const std::function<void()>& body);
    void SetUpLoginPort();
    void EnterMainWindow();

    WindowSet& windows_;
};
