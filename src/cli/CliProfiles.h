#pragma once

#include "cli/CliOptions.h"
#include "sides/ConnectionProfile.h"

#include <functional>

namespace app {
class PasswordKeeper;
}
namespace platform {
class EventYield;
class Keyring;
class SettingsBackend;
} // namespace platform

namespace cli {

// A side's login as the connection window would make it from what it saved (the five values, the
// keyring when the side keeps its password there, the connection security and the certificate it
// remembers), then what the options override. A first certificate met is remembered as the window
// does; a certificate that would need the user's word is refused, since nobody is there to give it.
// The side's SSH tunnel as its settings say, an unknown host key refused the same way.
// Throws std::runtime_error for a password file that cannot be read.
sides::ConnectionProfile sideProfile(int side, const SideOptions &options, platform::SettingsBackend &settings,
                                     app::PasswordKeeper &passwords, platform::Keyring &keyring,
                                     platform::EventYield *yield);

} // namespace cli
