#pragma once
// A record database file in a fresh temporary folder, named to the program through
// QMR4070_DB for the life of this object.

#include "environment_guard.h"

#include <QTemporaryDir>

namespace testing_support {

struct TempDatabase {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("data.db"));
    EnvironmentGuard guard{"QMR4070_DB", path.toLocal8Bit()};
};

}  // namespace testing_support
