#pragma once
// What the three setting windows share: the frame of a small window that closing only
// hides, entry boxes under the key filter, "设置完成" buttons, the handler guard, and
// how a value the meter reports is shown in an entry row.

#include "setting_steps.h"

#include <QPushButton>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

class QComboBox;
class QEvent;
class QFont;
class QLabel;
class QLineEdit;

namespace settings {

// An entry row as it stands: the text of its box and its unit index (-1: none).
struct ResistanceEntry {
    QString text;
    int unitIndex = -1;
};

class SettingWindow : public QWidget {
    Q_OBJECT
protected:
    SettingWindow(const SettingContext& context, const QString& caption, int left, int top, int outerWidth,
                  int outerHeight, QWidget* parent);

    // A row's caption, tall enough for the 21-pixel label fonts.
    QLabel* AddLabel(const QString& text, int left, int top, int width, const QFont& font);
    // A numeric entry box under the key filter.
    QLineEdit* AddEntry(int left, int top, int width);
    // A "设置完成" button that runs the handler when clicked.
    template <typename Window>
    QPushButton* AddSetButton(int left, int top, int width, void (Window::*handler)())
    {
        QPushButton* button = MakeSetButtonHere(left, top, width);
        connect(button, &QPushButton::clicked, static_cast<Window*>(this), handler);
        return button;
    }

    // The guard every handler runs its body in.
    void Guarded(const std::function<void()>& body);

    // A reported resistance: the unit first, when the code names one, then the value.
    static void ShowReported(QLineEdit* edit, QComboBox* unit, const QString& value, uint8_t unitCode);
    static ResistanceEntry EntryOf(const QLineEdit* edit, const QComboBox* unit);

    bool eventFilter(QObject* watched, QEvent* event) override;

    SettingContext context_;

private:
    QPushButton* MakeSetButtonHere(int left, int top, int width);
};

}  // namespace settings
