#pragma once

#include <QPoint>

class QAbstractButton;
class QMenu;
class QWidget;

// Input as a person gives it: every event enters through the window system's way in (the
// widget's top-level window), so Qt's own handling runs as it does for the user: the right
// press that becomes a context menu, the Menu key, the popup's grab of mouse and keyboard.
namespace input {

// A right-click at a point of the widget (its centre when none is given).
void rightClick(QWidget *widget, QPoint at = QPoint(-1, -1));
// The Menu key, pressed with the focus on the widget.
void pressMenuKey(QWidget *widget);
// The popup menu that is open now, after waiting a moment for it; null when none opens.
QMenu *openMenu();
// Down to the entry (counting from 0), then Return, in the open menu.
void chooseByKeys(QMenu *menu, int entry);
// A left click on the entry (counting from 0) of the open menu.
void chooseByMouse(QMenu *menu, int entry);
// A left click at the button's centre.
void click(QAbstractButton *button);
// Space with the focus on the button.
void pressSpace(QAbstractButton *button);

} // namespace input
