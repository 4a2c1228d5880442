#pragma once
// Steps the whole-program stories share: the administrator at the bench, and one external
// trigger taken through to the table.

#include "login_window.h"
#include "main_window.h"
#include "radio_group.h"
#include "record_table.h"
#include "sim_process.h"
#include "window_set.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// Logs in with the meter's code and waits until the panel mirrors the meter's switches.
inline void LogInAsAdministrator(WindowSet& windows)
{
    windows.Login().Edit1->setText(QStringLiteral("582"));
    windows.Login().Button4->click();
    QTRY_COMPARE_WITH_TIMEOUT(windows.Main().RadioGroup7->ItemIndex(), 0, 8000);
}

// One trigger on the meter, waited for until its record is in the table.
inline void TriggerRecorded(SimProcess& sim, TForm1& main)
{
    const int before = main.Table1->RecordCount();
    sim.Command(QStringLiteral("trigger"));
    QTRY_COMPARE_WITH_TIMEOUT(main.Table1->RecordCount(), before + 1, 5000);
}
