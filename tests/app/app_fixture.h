#pragma once
// A fresh window set per test, its port 1 on a real pseudo-terminal, with message
// boxes that record what they showed, and a record database of its own.

#include "login_window.h"
#include "main_window.h"
#include "pty_pair.h"
#include "recording_boxes.h"
#include "serial_control.h"
#include "temp_database.h"
#include "window_set.h"

#include <memory>

struct AppFixture {
    testing_support::TempDatabase database;
    testing_support::PtyPair pty;
    testing_support::PortOverride port{pty};
    testing_support::RecordingMessageBoxes boxes;
    std::unique_ptr<WindowSet> windows = std::make_unique<WindowSet>(boxes);

    TForm1& main() { return windows->Main(); }
    TForm6& login() { return windows->Login(); }

    // Writes a report as the meter sends it and lets the program handle it.
    void Receive(const QByteArray& bytes, int pumpMs = 60)
    {
        pty.Write(bytes);
        testing_support::PtyPair::Pump(pumpMs);
    }
    // Everything the program has put on the line since the last read.
    QByteArray Sent(int quietMs = 120) { return pty.ReadAll(quietMs); }
};
