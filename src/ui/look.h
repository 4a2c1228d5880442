#pragma once
// The fixed look of the windows: the classic desktop colours and fonts the layouts
// are drawn in, with fallbacks for machines that lack the named fonts.

#include <QColor>
#include <QFont>
#include <QString>
#include <Qt>

class QWidget;

namespace ui {

inline const QColor kTeal{0x00, 0x80, 0x80};
inline const QColor kBtnFace{0xF0, 0xF0, 0xF0};
inline const QColor kScrollBar{0xC8, 0xC8, 0xC8};
inline const QColor kGrayText{0x6D, 0x6D, 0x6D};
inline const QColor kWindow{0xFF, 0xFF, 0xFF};
inline const QColor kGradientInactiveCaption{0xD7, 0xE4, 0xF2};
inline const QColor kInactiveCaption{0xBF, 0xCD, 0xDB};
inline const QColor kRed{0xFF, 0x00, 0x00};
inline const QColor kLime{0x00, 0xFF, 0x00};

// A font by its design name ("MS Sans Serif", "宋体", "仿宋_GB2312") at a pixel height.
QFont PixelFont(const QString& family, int pixels);
// The window font of every form: "MS Sans Serif", 11 pixels.
QFont WindowFont();

// A plain coloured area behind the controls; it resizes nothing.
QWidget* MakeBand(QWidget* parent, int left, int top, int width, int height, const QColor& colour);
// Paints the widget's own background in the colour.
void SetBackground(QWidget* widget, const QColor& colour);
QColor BackgroundOf(const QWidget* widget);

// Title bar with the system menu and close box only: no minimise or maximise box.
inline constexpr Qt::WindowFlags kCloseBoxOnly =
    Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
// No title-bar buttons at all.
inline constexpr Qt::WindowFlags kNoTitleButtons = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;

// What every form sets first: its caption, its title-bar buttons and the window font.
void SetUpForm(QWidget* window, const QString& caption, Qt::WindowFlags flags);

// Title bar and frame of a classic desktop window: what the outer size adds to the client area.
inline constexpr int kFrameWidth = 8;
inline constexpr int kFrameHeight = 34;
// Places a top-level window by its outer geometry at a fixed client size (the outer
// size less the frame), not resizable.
void SetOuterGeometry(QWidget* window, int left, int top, int outerWidth, int outerHeight);

}  // namespace ui
