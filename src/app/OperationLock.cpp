#include "app/OperationLock.h"

#include "platform/ProgramEnding.h"

#include <QApplication>
#include <QEvent>

#include <memory>

namespace app {

OperationLock::OperationLock() { qApp->installEventFilter(this); }

OperationLock::~OperationLock()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

void OperationLock::watch(QWidget *window) { windows_.emplace_back(window); }

namespace {

// Counts one operation in for as long as it runs, whichever way it leaves.
class DepthScope {
public:
    explicit DepthScope(int &depth) : depth_(depth) { ++depth_; }
    ~DepthScope() { --depth_; }
    DepthScope(const DepthScope &) = delete;
    DepthScope &operator=(const DepthScope &) = delete;

private:
    int &depth_;
};

} // namespace

bool OperationLock::run(const std::function<void()> &operation)
{
    if (busy() || ending_)
        return false;
    DepthScope running(depth_);
    try {
        operation();
    } catch (const platform::ProgramEnding &) {
        // The windows are going away; nothing is left to report to.
    }
    return true;
}

void OperationLock::startLater(QObject *context, std::function<void()> handler)
{
    // Counted until it has run or been dropped with its context, whichever comes.
    std::shared_ptr<void> counted(nullptr, [this](void *) { --pending_; });
    ++pending_;
    QMetaObject::invokeMethod(
        context,
        [handler = std::move(handler), counted = std::move(counted)]() mutable {
            counted.reset();
            handler();
        },
        Qt::QueuedConnection);
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
    // No way around the lock: dropping, pasting (the middle click is a press above) and input methods.
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TabletPress:
        return isWatched(watched);
    default:
        return false;
    }
}

} // namespace app
