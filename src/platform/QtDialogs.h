#pragma once

#include "platform/Dialogs.h"

namespace platform {

class OperationLockView;

// The real modal boxes. Untitled boxes carry the application title.
class QtDialogs : public Dialogs {
public:
    int message(const QString &text, int style, const QString &title) override;
    QString input(const QString &prompt, const QString &defaultAnswer) override;
    QString secret(const QString &prompt) override;
    int choose(const QString &text, const QStringList &buttons) override;
    QString saveFileName(const QString &caption, const QString &suggested, const QString &filter) override;

    // A lone CR (the old line break of the messages) shows as a line break.
    static QString displayText(const QString &text);
};

} // namespace platform
