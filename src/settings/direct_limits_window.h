#pragma once
// The direct-reading limits window: the upper and lower resistance limits with their
// units. Its entry boxes and unit selectors are also where the program keeps the
// limits the meter reports.

#include "setting_window.h"

class TForm2 : public settings::SettingWindow {
    Q_OBJECT
public:
    TForm2(wire::SerialControl& com, wire::FrameBuffer& buffer, ui::MessageBoxes& boxes, QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* Edit1;
    QComboBox* ComboBox1;
    QPushButton* Button1;
    QLabel* Label2;
    QLineEdit* Edit2;
    QPushButton* Button2;
    QComboBox* ComboBox2;

    // The limits last sent, in ohms, for the limit order warning only. The upper one
    // changes only when sent with a unit; the lower one is taken bare without a unit.
    double UpperLimitOhms = 0;
    double LowerLimitOhms = 0;

    void Button1Click();
    void Button2Click();
    // True when the key press is swallowed.
    bool Edit1KeyPress(QEvent* event);
    bool Edit2KeyPress(QEvent* event);

    // The limits the meter reports, with their unit codes.
    void ShowReportedUpper(const QString& value, uint8_t unitCode);
    void ShowReportedLower(const QString& value, uint8_t unitCode);
    settings::ResistanceEntry Upper() const;
    settings::ResistanceEntry Lower() const;

private:
    void UpperOwnStep(double value, int unitIndex);
    void LowerOwnStep(double value, int unitIndex);
};
