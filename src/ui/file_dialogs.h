#pragma once
// The open and save file dialogs go through here, so tests can answer them.

#include <QString>
#include <optional>

class QWidget;

namespace ui {

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The chosen full file name, or nothing when the operator cancels. The dialog itself
    // asks nothing about an existing file.
    virtual std::optional<QString> SaveFileName(QWidget* parent, const QString& title, const QString& filter,
                                                const QString& fileName) = 0;
    virtual std::optional<QString> OpenFileName(QWidget* parent, const QString& filter) = 0;
};

// Modal QFileDialog dialogs.
class QtFileDialogs : public FileDialogs {
public:
    std::optional<QString> SaveFileName(QWidget* parent, const QString& title, const QString& filter,
                                        const QString& fileName) override;
    std::optional<QString> OpenFileName(QWidget* parent, const QString& filter) override;
};

}  // namespace ui
