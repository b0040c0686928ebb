#pragma once

#include <QString>

// The advice "Help" gives about logins that do not work.
QString helpText();
