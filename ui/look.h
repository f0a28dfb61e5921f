#pragma once
// What the windows look like beyond their layout: the font, the pictures of
// the toolbar and of the splash window. All pictures are drawn here, so the
// program carries no image files.

#include <QFont>
#include <QIcon>
#include <QPixmap>

class QWidget;

namespace korsi {

// The windows' font: a plain sans serif of 11 pixels.
QFont windowFont(int pixelSize = 11, bool bold = false);

enum class ToolPicture { Open, Save, Print, Preview, FindDevice, Read };
// A 16 x 16 toolbar picture (with a sharper copy for dense screens).
QIcon toolIcon(ToolPicture picture);

// The splash window's picture, 400 x 78.
QPixmap splashPicture();

// Moves a top-level window to the middle of its screen's free area.
void centreOnScreen(QWidget& window);

}  // namespace korsi
