#pragma once
// Every box the operator sees goes through here, so tests can read what was shown
// and answer it, and can run other events while a box is "open" as a modal box does.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

namespace ui {

enum class Answer { Yes, No, Cancel };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // An operator message: caption "提示", an OK button, the exclamation icon.
    virtual void Inform(QWidget* parent, const QString& text) = 0;
    // A message with a caption of its own, an OK button, the exclamation icon.
    virtual void InformCaptioned(QWidget* parent, const QString& caption, const QString& text) = 0;
    // The standard error box: caption "QMR4070", the error's own text.
    virtual void ShowError(QWidget* parent, const QString& text) = 0;
    // A question: caption "Confirm", question icon, Yes / No / Cancel; Yes is the default
    // button, Esc and closing the box answer Cancel.
    virtual Answer AskYesNoCancel(QWidget* parent, const QString& text) = 0;
    // A confirmation: caption "Confirm", question icon, OK / Cancel; true for OK.
    virtual bool ConfirmOkCancel(QWidget* parent, const QString& text) = 0;
    // A pick from a list that also takes a typed entry: OK / Cancel, `current` chosen
    // first. The text picked or typed, or nothing when cancelled.
    virtual std::optional<QString> ChooseItem(QWidget* parent, const QString& caption, const QString& label,
                                              const QStringList& items, int current) = 0;
    // The About box: the program's icon, a caption of its own, an OK button.
    virtual void About(QWidget* parent, const QString& caption, const QString& text)
    {
        InformCaptioned(parent, caption, text);
    }
};

// Modal QMessageBox boxes; the event loop keeps running while one is open.
class QtMessageBoxes : public MessageBoxes {
public:
    void Inform(QWidget* parent, const QString& text) override;
    void InformCaptioned(QWidget* parent, const QString& caption, const QString& text) override;
    void ShowError(QWidget* parent, const QString& text) override;
    Answer AskYesNoCancel(QWidget* parent, const QString& text) override;
    bool ConfirmOkCancel(QWidget* parent, const QString& text) override;
    std::optional<QString> ChooseItem(QWidget* parent, const QString& caption, const QString& label,
                                      const QStringList& items, int current) override;
    void About(QWidget* parent, const QString& caption, const QString& text) override;
};

// Shows the exception being handled in the standard error box: a platform error with
// its own text, any other error with what it says, anything else with an empty text.
// Call only from inside a catch block.
void ShowCurrentError(MessageBoxes& boxes, QWidget* parent);

// Runs one event handler. An error of a platform service (or any other C++
// exception) ends the handler there and is shown in the standard error box; nothing
// crosses into Qt's event dispatch.
void RunHandler(MessageBoxes& boxes, QWidget* parent, const std::function<void()>& body);

}  // namespace ui
