#pragma once

#include <QString>

namespace app {

// True when a file (or folder) is at the path; never reports anything.
bool fileExists(const QString &path);

} // namespace app
