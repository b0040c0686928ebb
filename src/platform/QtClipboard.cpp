#include "platform/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace platform {

bool QtClipboard::trySetText(const QString &text)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->setText(text);
    // Only a read-back proves the text arrived.
    return clipboard->text() == text;
}

QString QtClipboard::readText() const
{
    const QClipboard *clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->text() : QString();
}

} // namespace platform
