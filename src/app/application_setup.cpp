#include "application_setup.h"

#include "command_line.h"
#include "log_categories.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

namespace app {

bool LoadQtTranslations(QCoreApplication& application)
{
    // The interface is Chinese whatever the desktop's language, so Qt's texts are too.
    auto* translator = new QTranslator(&application);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), folder)) {
        qCWarning(lcApp).noquote() << "no Qt translations qtbase_zh_CN in" << folder;
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

QString AboutText()
{
    return QStringLiteral(
               "<p><b>QMR4070 低电阻测量仪</b></p>"
               "<p>版本 %1</p>"
               "<p>许可证：MIT（见随程序附带的 LICENSE）</p>"
               "<p>基于 Qt %2（LGPL）</p>")
        .arg(ProgramVersion(), QString::fromLatin1(qVersion()));
}

void SetUpApplication(QApplication& application)
{
    QApplication::setApplicationName(QStringLiteral("QMR4070"));
    QApplication::setApplicationVersion(ProgramVersion());
    QApplication::setDesktopFileName(QStringLiteral("org.qmr4070.qmr4070"));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/qmr4070-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
    LoadQtTranslations(application);
}

}  // namespace app
