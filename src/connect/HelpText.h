#pragma once

#include <QString>

namespace connectwindow {

// The advice "Help" gives about logins that do not work.
QString helpText();

} // namespace connectwindow
