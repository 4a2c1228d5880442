#pragma once
// An error of a platform service (serial line, database, file, conversion). The
// handler that meets one stops and shows its text in the standard error box.

#include <QString>
#include <stdexcept>

class PlatformError : public std::runtime_error {
public:
    explicit PlatformError(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& Text() const { return text_; }

private:
    QString text_;
};
