#include "app/OperationLock.h"

#include "platform/ProgramEnding.h"

#include <QApplication>
#include <QEvent>

OperationLock::OperationLock() { qApp->installEventFilter(this); }

OperationLock::~OperationLock()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

void OperationLock::watch(QWidget *window) { windows_.emplace_back(window); }

bool OperationLock::run(const std::function<void()> &operation)
{
    if (busy() || ending_)
        return false;
    ++depth_;
    try {
        operation();
    } catch (const platform::ProgramEnding &) {
        // The windows are going away; nothing is left to report to.
    }
    --depth_;
    return true;
}

bool OperationLock::isWatched(QObject *object) const
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget)
        return false;
    QWidget *window = widget->window();
    for (const QPointer<QWidget> &w : windows_)
        if (w == window)
            return true;
    return false;
}

bool OperationLock::eventFilter(QObject *watched, QEvent *event)
{
    if (!busy())
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
        return isWatched(watched);
    default:
        return false;
    }
}
