#pragma once

#include <QString>

namespace platform {
class Dialogs;
class Keyring;
class SettingsBackend;
} // namespace platform

namespace app {

// Where each side's password is kept: in the settings file as always, or, for a side that asked
// for it, in the desktop's keyring, with the settings file's password key left empty. When no
// keyring answers a move into it, the user is told once and the password stays in the settings
// file; when the keyring cannot be reached later, the side keeps its choice and nothing stored
// is deleted or written back into the file.
class PasswordKeeper {
public:
    PasswordKeeper(platform::SettingsBackend &settings, platform::Keyring &keyring, platform::Dialogs &dialogs)
        : settings_(settings), keyring_(keyring), dialogs_(dialogs)
    {
    }

    bool inKeyring(int side) const;
    // The password to show at start-up.
    QString load(int side, const QString &fromSettingsFile);
    // Keeps a typed password where the side keeps it.
    void store(int side, const QString &password);
    // Moves the side's password into the keyring (on) or back into the settings file (off);
    // returns where it is now kept.
    bool keepInKeyring(int side, bool on, const QString &password);

private:
    static QString passwordKey(int side);
    void sayUnavailable(int side, const QString &why);
    void sayUnreachable(int side, const QString &why);

    platform::SettingsBackend &settings_;
    platform::Keyring &keyring_;
    platform::Dialogs &dialogs_;
    bool told_ = false;
};

} // namespace app
