#pragma once
// The nominal value window: one resistance with its unit. Its entry box and unit
// selector are also where the program keeps the nominal value the meter reports.

#include "setting_window.h"

class TForm5 : public settings::SettingWindow {
    Q_OBJECT
public:
    TForm5(wire::SerialControl& com, wire::FrameBuffer& buffer, ui::MessageBoxes& boxes, QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* Edit1;
    QComboBox* ComboBox1;
    QPushButton* Button1;

    void Button1Click();
    // True when the key press is swallowed.
    bool Edit1KeyPress(QEvent* event);

    // The nominal value the meter reports, with its unit code.
    void ShowReportedNominal(const QString& value, uint8_t unitCode);
    settings::ResistanceEntry Nominal() const;
};
