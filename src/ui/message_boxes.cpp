#include "message_boxes.h"

#include "log_categories.h"
#include "platform_error.h"

#include <QInputDialog>
#include <QMessageBox>
#include <exception>

namespace ui {

void QtMessageBoxes::Inform(QWidget* parent, const QString& text)
{
    InformCaptioned(parent, QStringLiteral("提示"), text);
}

void QtMessageBoxes::InformCaptioned(QWidget* parent, const QString& caption, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

Answer QtMessageBoxes::AskYesNoCancel(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return Answer::Cancel;
    }
}

bool QtMessageBoxes::ConfirmOkCancel(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::Ok | QMessageBox::Cancel,
                    parent);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

std::optional<QString> QtMessageBoxes::ChooseItem(QWidget* parent, const QString& caption, const QString& label,
                                                  const QStringList& items, int current)
{
    bool ok = false;
    const QString text = QInputDialog::getItem(parent, caption, label, items, current, true, &ok);
    if (!ok || text.trimmed().isEmpty()) return std::nullopt;
    return text;
}

void QtMessageBoxes::About(QWidget* parent, const QString& caption, const QString& text)
{
    QMessageBox::about(parent, caption, text);
}

void QtMessageBoxes::ShowError(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("QMR4070"), text, QMessageBox::Ok, parent);
    box.exec();
}

namespace {
QString CurrentErrorText()
{
    try {
        throw;
    } catch (const PlatformError& error) {
        return error.Text();
    } catch (const std::exception& error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
        return QString();
    }
}
}  // namespace

void ShowCurrentError(MessageBoxes& boxes, QWidget* parent)
{
    const QString text = CurrentErrorText();
    qCInfo(lcApp).noquote() << "error shown:" << text;
    boxes.ShowError(parent, text);
}

void RunHandler(MessageBoxes& boxes, QWidget* parent, const std::function<void()>& body)
{
    try {
        body();
    } catch (...) {
        ShowCurrentError(boxes, parent);
    }
}

}  // namespace ui
