#include "app/WindowPointer.h"

namespace app {

WindowPointer::~WindowPointer() = default;

void WindowPointer::coverOwnPointers()
{
    for (QWidget *child : window_->findChildren<QWidget *>()) {
        if (!child->testAttribute(Qt::WA_SetCursor) || child->isWindow())
            continue;
        covered_.emplace_back(child, child->cursor());
        child->setCursor(Qt::WaitCursor);
    }
}

void WindowPointer::uncoverOwnPointers()
{
    for (auto &[child, own] : covered_)
        if (child)
            child->setCursor(own);
    covered_.clear();
}

void WindowPointer::set(int value)
{
    if (value == value_)
        return;
    value_ = value;
    if (!window_)
        return;
    uncoverOwnPointers();
    switch (value) {
    case pointer::Busy:
        // The window's own: a box the operation opens keeps its arrow, where the user must act.
        window_->setCursor(Qt::WaitCursor);
        coverOwnPointers();
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
