#pragma once

#include <QStringList>

namespace cli {

// The program without windows: a subcommand's run to its end. Returns the exit code.
int runCommandLine(const QStringList &arguments);

} // namespace cli
