#pragma once
// File dialogs for tests: they record what they were asked and give preset answers.

#include "file_dialogs.h"

#include <QStringList>
#include <functional>
#include <utility>

namespace testing_support {

class RecordingFileDialogs : public ui::FileDialogs {
public:
    // The next answer of either dialog; nothing is a cancel.
    std::optional<QString> answer;
    // "title|filter|name" of each save dialog, "filter" of each open dialog.
    QStringList shown;
    // Run inside the next save dialog, as events go on while it is open.
    std::function<void()> whileOpen;

    std::optional<QString> SaveFileName(QWidget*, const QString& title, const QString& filter,
                                        const QString& fileName) override
    {
        shown << title + '|' + filter + '|' + fileName;
        if (auto action = std::exchange(whileOpen, nullptr)) action();
        return answer;
    }
    std::optional<QString> OpenFileName(QWidget*, const QString& filter) override
    {
        shown << filter;
        return answer;
    }
};

}  // namespace testing_support
