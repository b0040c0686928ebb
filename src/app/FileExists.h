#pragma once

#include <QString>

// True when a file (or folder) is at the path; never reports anything.
bool fileExists(const QString &path);
