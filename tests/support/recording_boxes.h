#pragma once
// Message boxes for tests: they record what was shown, and can run other events
// while a box stands open, as a modal box lets the event loop do.

#include "message_boxes.h"

#include <QStringList>
#include <functional>
#include <utility>

namespace testing_support {

class RecordingMessageBoxes : public ui::MessageBoxes {
public:
    QStringList informed;
    QStringList errors;
    // Run once, inside the next box shown, then forgotten.
    std::function<void()> whileNextBoxOpen;

    void Inform(QWidget*, const QString& text) override
    {
        informed << text;
        RunWhileOpen();
    }
    void ShowError(QWidget*, const QString& text) override
    {
        errors << text;
        RunWhileOpen();
    }
    void Clear()
    {
        informed.clear();
        errors.clear();
    }

private:
    void RunWhileOpen()
    {
        if (auto action = std::exchange(whileNextBoxOpen, nullptr)) action();
    }
};

}  // namespace testing_support
