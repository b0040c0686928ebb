#include "app/ClipboardCopy.h"

#include "platform/Clipboard.h"

namespace app {

bool copyTextToClipboard(platform::Clipboard &clipboard, const QString &text)
{
    for (int attempt = 0; attempt < ClipboardAttempts; ++attempt) {
        try {
            if (clipboard.trySetText(text))
                return true;
        } catch (const std::exception &) {
            // A clipboard that throws is as busy as one that refuses; the next attempt decides.
        }
    }
    return false;
}

} // namespace app
