#pragma once
// What the application carries before its first window: its name and version, the icon
// of every window, the desktop entry it belongs to, and Qt's own texts in Chinese.

#include <QString>

class QApplication;
class QCoreApplication;

namespace app {

void SetUpApplication(QApplication& application);

// Installs Qt's own Chinese translations (file dialogs, the standard buttons) from Qt's
// translations folder; false when they are not there (the dialogs then stay English).
bool LoadQtTranslations(QCoreApplication& application);

// The About box's text: the program's name, version and licence, and the Qt it runs on.
QString AboutText();

}  // namespace app
