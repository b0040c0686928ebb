#include "app/HoverTracker.h"

#include "app/Pointer.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

namespace app {

void HoverTracker::watch(QWidget *widget, HoverTarget target)
{
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
    targets_.insert(widget, target);
    // A list's surface is its viewport; the pointer moves there, not over the list itself.
    if (auto *area = qobject_cast<QAbstractScrollArea *>(widget)) {
        area->viewport()->setMouseTracking(true);
        area->viewport()->installEventFilter(this);
        targets_.insert(area->viewport(), target);
    }
}

bool HoverTracker::eventFilter(QObject *watched, QEvent *event)
{
    const auto it = targets_.constFind(watched);
    if (it == targets_.constEnd() || (event->type() != QEvent::MouseMove && event->type() != QEvent::Enter))
        return false;
    pointer_.set(pointerAfterHover(pointer_.value(), it.value()));
    // A button ignores a plain move, which would then travel on to the frame behind it and undo
    // the hand. The button has no use for it, so it ends here; a move while pressed goes on.
    const bool plainMove = event->type() == QEvent::MouseMove
                           && static_cast<QMouseEvent *>(event)->buttons() == Qt::NoButton;
    return plainMove && it.value() == HoverTarget::Button;
}

} // namespace app
