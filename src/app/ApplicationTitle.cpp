#include "app/ApplicationTitle.h"

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

namespace {
QString &storedTitle()
{
    static QString title;
    return title;
}
} // namespace

void setApplicationTitle(const QString &title) { storedTitle() = title; }
QString applicationTitle() { return storedTitle(); }
