#pragma once
// Message boxes for tests: they record what was shown, and can run other events
// while a box stands open, as a modal box lets the event loop do.

#include "message_boxes.h"

#include <QStringList>
#include <functional>
#include <optional>
#include <utility>

namespace testing_support {

class RecordingMessageBoxes : public ui::MessageBoxes {
public:
    QStringList informed;
    QStringList errors;
    QStringList captions;  // of every message box, "提示" for Inform
    QStringList asked;
    // The answers to the next questions, in order; Cancel when none is left.
    QList<ui::Answer> answers;
    QStringList choiceLabels;  // of every choice offered
    QList<QStringList> offered;
    // The answers to the next choices, in order (nothing for Cancel); Cancel when none is left.
    QList<std::optional<QString>> choices;
    // Run once, inside the next box shown, then forgotten.
    std::function<void()> whileNextBoxOpen;

    void Inform(QWidget* parent, const QString& text) override { InformCaptioned(parent, "提示", text); }
    void InformCaptioned(QWidget*, const QString& caption, const QString& text) override
    {
        informed << text;
        captions << caption;
        RunWhileOpen();
    }
    ui::Answer AskYesNoCancel(QWidget*, const QString& text) override
    {
        asked << text;
        RunWhileOpen();
        return answers.isEmpty() ? ui::Answer::Cancel : answers.takeFirst();
    }
    // Yes among the answers stands for OK.
    bool ConfirmOkCancel(QWidget*, const QString& text) override
    {
        asked << text;
        RunWhileOpen();
        return !answers.isEmpty() && answers.takeFirst() == ui::Answer::Yes;
    }
    std::optional<QString> ChooseItem(QWidget*, const QString&, const QString& label, const QStringList& items,
                                      int) override
    {
        choiceLabels << label;
        offered << items;
        RunWhileOpen();
        return choices.isEmpty() ? std::nullopt : choices.takeFirst();
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
        captions.clear();
        asked.clear();
    }

private:
    void RunWhileOpen()
    {
        if (auto action = std::exchange(whileNextBoxOpen, nullptr)) action();
    }
};

}  // namespace testing_support
