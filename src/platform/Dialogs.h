#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// Message-box styles and results, as the handlers speak of them.
enum MessageStyle : int { OkOnly = 0, YesNo = 4, OkExclamation = 48 };
enum MessageResult : int { Ok = 1, Yes = 6, No = 7 };

// The modal boxes. A box opened without a title shows the application title.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual int message(const QString &text, int style = OkOnly, const QString &title = {}) = 0;
    // Returns the typed text on OK and the empty text on Cancel.
    virtual QString input(const QString &prompt, const QString &defaultAnswer) = 0;
    // The same for a secret, its typing not shown.
    virtual QString secret(const QString &prompt) = 0;
    // A box with buttons of the caller's words, the first the default: the index of the one
    // pressed; the last one's (the way out) when the box is closed another way.
    virtual int choose(const QString &text, const QStringList &buttons) = 0;
    // Where to save a file: the path chosen, or empty when the user cancelled.
    virtual QString saveFileName(const QString &caption, const QString &suggested, const QString &filter) = 0;
};

} // namespace platform
