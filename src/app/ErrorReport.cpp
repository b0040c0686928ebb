#include "app/ErrorReport.h"

#include "app/ProductInfo.h"
#include "platform/Dialogs.h"

namespace app {

QString ErrorReport::text(const QString &description, const QString &location, int line)
{
    return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") + QString::number(line)
           + QStringLiteral("\r\r") + QStringLiteral("Please email screenshot of this message to ")
           + product::SupportAddress;
}

QString ErrorReport::location(const QString &module, const QString &operation)
{
    return QStringLiteral("in ") + product::BuildTag + u'.' + module + u'.' + operation + u' ';
}

void ErrorReport::show(const QString &description, const QString &location, int line)
{
    dialogs_.message(text(description, location, line), platform::OkExclamation, Title);
}

} // namespace app
