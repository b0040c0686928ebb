#pragma once

#include "platform/Keyring.h"

namespace platform {

// The keyring through QtKeychain, never its plain-file fallback. While a call waits, timers and
// painting go on; the user's input waits until it is done.
class QtKeychainKeyring : public Keyring {
public:
    Result read(const QString &key, QString &secret, QString &why) override;
    Result write(const QString &key, const QString &secret, QString &why) override;
    Result remove(const QString &key, QString &why) override;
};

} // namespace platform
