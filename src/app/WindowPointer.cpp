#include "app/WindowPointer.h"

#include <QApplication>

namespace app {

WindowPointer::~WindowPointer()
{
    if (value_ == pointer::Busy)
        QApplication::restoreOverrideCursor();
}

void WindowPointer::set(int value)
{
    if (value == value_)
        return;
    if (value_ == pointer::Busy)
        QApplication::restoreOverrideCursor();
    value_ = value;
    if (!window_)
        return;
    switch (value) {
    case pointer::Busy:
        QApplication::setOverrideCursor(Qt::WaitCursor);
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
