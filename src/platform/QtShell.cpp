#include "platform/QtShell.h"

#include <QDesktopServices>
#include <QUrl>

#include <stdexcept>

namespace platform {

void QtShell::openAddress(const QString &address)
{
    if (!QDesktopServices::openUrl(QUrl(address)))
        throw std::runtime_error("Could not open " + address.toStdString());
}

} // namespace platform
