#include "file_dialogs.h"

#include <QFileDialog>

namespace ui {

std::optional<QString> QtFileDialogs::SaveFileName(QWidget* parent, const QString& title, const QString& filter,
                                                   const QString& fileName)
{
    QFileDialog dialog(parent, title, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<QString> QtFileDialogs::OpenFileName(QWidget* parent, const QString& filter)
{
    QFileDialog dialog(parent, QString(), QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first();
}

}  // namespace ui
