#include "app/WindowPlacement.h"

#include <QScreen>
#include <QWidget>

namespace app {

void CentredOnFirstShow::shown(QWidget &window)
{
    if (centred_ || !window.screen())
        return;
    centred_ = true;
    window.move(window.screen()->availableGeometry().center() - window.rect().center());
}

} // namespace app
