#include "log_categories.h"

// Debug and info lines are off by default; warnings stay on, so a real fault still shows.
Q_LOGGING_CATEGORY(lcLink, "qmr4070.link", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSettings, "qmr4070.settings", QtWarningMsg)
Q_LOGGING_CATEGORY(lcRecords, "qmr4070.records", QtWarningMsg)
Q_LOGGING_CATEGORY(lcGrid, "qmr4070.grid", QtWarningMsg)
Q_LOGGING_CATEGORY(lcArchive, "qmr4070.archive", QtWarningMsg)
Q_LOGGING_CATEGORY(lcApp, "qmr4070.app", QtWarningMsg)
