#pragma once

#include <QString>

#include <functional>

namespace platform {
class Clipboard;
class Dialogs;
class EventYield;
class Keyring;
class RandomSource;
class SettingsBackend;
class Shell;
} // namespace platform

namespace app {

class OperationLock;

// What the windows reach outside themselves through. Tests hand in doubles for what they cannot click.
struct Services {
    platform::Dialogs &dialogs;
    platform::Clipboard &clipboard;
    platform::Shell &shell;
    platform::EventYield &yield;
    platform::RandomSource &random;
    platform::SettingsBackend &settings;
    OperationLock &lock;
    platform::Keyring &keyring;
    QString programFolder;
    std::function<void()> endProgram; // closing either window ends the program
};

} // namespace app
