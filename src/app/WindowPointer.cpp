#include "app/WindowPointer.h"

namespace app {

WindowPointer::~WindowPointer() = default;

void WindowPointer::set(int value)
{
    if (value == value_)
        return;
    value_ = value;
    if (!window_)
        return;
    switch (value) {
    case pointer::Busy:
        // The window's own: a box the operation opens keeps its arrow, where the user must act.
        window_->setCursor(Qt::WaitCursor);
        break;
    case pointer::Custom:
        window_->setCursor(custom_.value_or(QCursor(Qt::ArrowCursor)));
        break;
    default:
        window_->unsetCursor();
        break;
    }
}

} // namespace app
