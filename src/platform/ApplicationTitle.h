#pragma once

#include <QString>

namespace platform {

// The program's one application title, set once at start-up: the title of every untitled box.
void setApplicationTitle(const QString &title);
QString applicationTitle();

} // namespace platform
