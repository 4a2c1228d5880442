#pragma once
// The percentage limits window: the upper and lower limits of the "%" mode. Its entry
// boxes are also where the program keeps the limits the meter reports.

#include "setting_window.h"

class TForm3 : public settings::SettingWindow {
    Q_OBJECT
public:
    TForm3(wire::SerialControl& com, wire::FrameBuffer& buffer, ui::MessageBoxes& boxes, QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* Edit1;
    QLabel* Label2;
    QPushButton* Button1;
    QLabel* Label3;
    QLineEdit* Edit2;
    QLabel* Label4;
    QPushButton* Button2;

    void Button1Click();
    void Button2Click();
    // True when the key press is swallowed.
    bool Edit1KeyPress(QEvent* event);
    bool Edit2KeyPress(QEvent* event);

    // The limits the meter reports; they carry no unit.
    void ShowReportedUpper(const QString& value);
    void ShowReportedLower(const QString& value);
    QString UpperText() const;
    QString LowerText() const;
};
