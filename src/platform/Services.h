#pragma once

#include <QString>

#include <functional>

class OperationLock;

namespace platform {
class Clipboard;
class Dialogs;
class EventYield;
class RandomSource;
class SettingsBackend;
class Shell;

// What the windows reach outside themselves through. Tests hand in doubles for what they cannot click.
struct Services {
    Dialogs &dialogs;
    Clipboard &clipboard;
    Shell &shell;
    EventYield &yield;
    RandomSource &random;
    SettingsBackend &settings;
    OperationLock &lock;
    QString programFolder;
    std::function<void()> endProgram; // closing either window ends the program
};

} // namespace platform
