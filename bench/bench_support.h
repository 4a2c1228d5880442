#pragma once
// What the benchmarks share: message boxes that never wait for anyone, and a timer in ms.

#include "message_boxes.h"

#include <QElapsedTimer>
#include <cstdio>

// Counts the boxes the program would show; errors are printed, since they spoil a figure.
class SilentBoxes : public ui::MessageBoxes {
public:
    int shown = 0;
    void Inform(QWidget*, const QString&) override { ++shown; }
    void InformCaptioned(QWidget*, const QString&, const QString&) override { ++shown; }
    void ShowError(QWidget*, const QString& text) override { ++shown, std::fprintf(stderr, "%s\n", qPrintable(text)); }
    ui::Answer AskYesNoCancel(QWidget*, const QString&) override { return ++shown, ui::Answer::Cancel; }
    bool ConfirmOkCancel(QWidget*, const QString&) override { return ++shown, true; }
    std::optional<QString> ChooseItem(QWidget*, const QString&, const QString&, const QStringList&, int) override
    {
        return ++shown, std::nullopt;
    }
};

inline double Ms(const QElapsedTimer& timer) { return timer.nsecsElapsed() / 1e6; }
