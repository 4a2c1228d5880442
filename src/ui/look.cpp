#include "look.h"

#include <QPalette>
#include <QStringList>
#include <QWidget>

namespace ui {

QFont PixelFont(const QString& family, int pixels)
{
    QFont font;
    QStringList families{family};
    if (family == u"宋体") families << QStringLiteral("SimSun") << QStringLiteral("NSimSun");
    if (family == u"仿宋_GB2312") families << QStringLiteral("FangSong") << QStringLiteral("FangSong_GB2312");
    if (family == u"MS Sans Serif") families << QStringLiteral("Microsoft Sans Serif") << QStringLiteral("DejaVu Sans");
    families << QStringLiteral("WenQuanYi Zen Hei") << QStringLiteral("Microsoft YaHei");
    font.setFamilies(families);
    font.setPixelSize(pixels);
    return font;
}

QFont WindowFont() { return PixelFont(QStringLiteral("MS Sans Serif"), 11); }

QWidget* MakeBand(QWidget* parent, int left, int top, int width, int height, const QColor& colour)
{
    auto* band = new QWidget(parent);
    band->setGeometry(left, top, width, height);
    SetBackground(band, colour);
    band->lower();
    return band;
}

void SetBackground(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QColor BackgroundOf(const QWidget* widget) { return widget->palette().color(QPalette::Window); }

void SetUpForm(QWidget* window, const QString& caption, Qt::WindowFlags flags)
{
    window->setWindowTitle(caption);
    window->setWindowFlags(flags);
    window->setFont(WindowFont());
}

void SetOuterGeometry(QWidget* window, int left, int top, int outerWidth, int outerHeight)
{
    window->move(left, top);
    window->setFixedSize(outerWidth - kFrameWidth, outerHeight - kFrameHeight);
}

}  // namespace ui
