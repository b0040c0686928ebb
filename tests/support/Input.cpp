#include "support/Input.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QMenu>
#include <QWindow>
#include <QtTest>
#include <qpa/qwindowsysteminterface.h>

namespace input {

namespace {

// Where the widget's events go in: its top-level window, with the point in that window's terms.
QWindow *windowOf(QWidget *widget)
{
    QWidget *top = widget->window();
    if (!top->windowHandle())
        top->winId();
    return top->windowHandle();
}

QPoint inWindow(QWidget *widget, QPoint at)
{
    if (at == QPoint(-1, -1))
        at = widget->rect().center();
    return widget->mapTo(widget->window(), at);
}

// The part of a scroll area that takes the mouse.
QWidget *mouseTarget(QWidget *widget)
{
    if (auto *area = qobject_cast<QAbstractScrollArea *>(widget))
        return area->viewport();
    return widget;
}

void focus(QWidget *widget)
{
    widget->window()->activateWindow();
    widget->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(widget->hasFocus());
}

} // namespace

void rightClick(QWidget *widget, QPoint at)
{
    QWidget *target = mouseTarget(widget);
    QTest::mouseClick(windowOf(target), Qt::RightButton, Qt::NoModifier, inWindow(target, at));
}

void pressMenuKey(QWidget *widget)
{
    focus(widget);
    // As the X11 platform delivers the key: the press, the keyboard's context-menu request it
    // makes of it, the release.
    QWindow *window = windowOf(widget);
    QTest::keyPress(window, Qt::Key_Menu);
    const QPoint at = inWindow(widget, QPoint(-1, -1));
    QWindowSystemInterface::handleContextMenuEvent(window, false, at, window->mapToGlobal(at), Qt::NoModifier);
    QCoreApplication::processEvents();
    QTest::keyRelease(window, Qt::Key_Menu);
}

QMenu *openMenu()
{
    QMenu *menu = nullptr;
    for (int i = 0; i < 100 && !menu; ++i) {
        menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            QTest::qWait(10);
    }
    if (menu && !QTest::qWaitForWindowExposed(menu))
        return nullptr;
    return menu;
}

void chooseByKeys(QMenu *menu, int entry)
{
    QWindow *window = menu->windowHandle();
    for (int i = 0; i <= entry; ++i)
        QTest::keyClick(window, Qt::Key_Down);
    QTest::keyClick(window, Qt::Key_Return);
}

void chooseByMouse(QMenu *menu, int entry)
{
    const QPoint at = menu->actionGeometry(menu->actions().at(entry)).center();
    QWindow *window = menu->windowHandle();
    QTest::mouseMove(window, at);
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, at);
}

void click(QAbstractButton *button)
{
    QTest::mouseClick(windowOf(button), Qt::LeftButton, Qt::NoModifier, inWindow(button, QPoint(-1, -1)));
}

void pressSpace(QAbstractButton *button)
{
    focus(button);
    QTest::keyClick(windowOf(button), Qt::Key_Space);
}

} // namespace input
