#include "app/ApplicationTitle.h"

namespace app {

QString applicationTitleFrom(const QString &productName)
{
    constexpr qsizetype Limit = 40;
    QString title = productName;
    do {
        const qsizetype space = title.lastIndexOf(u' ');
        if (space < 0)
            break;
        title.truncate(space);
    } while (title.size() > Limit);
    return title;
}

} // namespace app
