#pragma once

#include <QPoint>
#include <QString>

class QWidget;

namespace app {

class WindowPointer;

// Shared looks of both windows. Each throws when its file is there but cannot be used.
namespace look {

// The window and its frames and labels take the system's button-face colour.
void useSystemColours(QWidget *window);

// "HAND-M.CUR" in the program's folder becomes the window's custom pointer, if it exists.
void loadHandPointer(WindowPointer &pointer, const QString &programFolder);

// "x/o.cjs" in the program's folder is a style sheet for the connection window, if it exists.
// Returns whether a skin was applied.
bool applyOptionalSkin(QWidget *window, const QString &programFolder);

QString handPointerPath(const QString &programFolder);

// The hotspot a .CUR file stores for its first picture; (-1, -1), the picture's middle, for a
// file that is not a cursor.
QPoint cursorHotspot(const QByteArray &fileStart);
QString skinPath(const QString &programFolder);

} // namespace look

} // namespace app
