#pragma once

#include <QString>

namespace platform {
class Clipboard;
}

namespace app {

// Another program may hold the clipboard for a moment: try again, up to 1000 times, at once.
// Returns true when the text is on the clipboard. Shows nothing either way.
bool copyTextToClipboard(platform::Clipboard &clipboard, const QString &text);

inline constexpr int ClipboardAttempts = 1000;

} // namespace app
