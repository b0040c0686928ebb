#pragma once

#include <QString>

#include <optional>

namespace platform {

// The desktop's store of secrets (Secret Service, KWallet). Each call waits for its answer.
class Keyring {
public:
    virtual ~Keyring() = default;
    enum class Result { Done, NotFound, Unavailable };
    // The secret, or why there is none.
    virtual Result read(const QString &key, QString &secret, QString &why) = 0;
    virtual Result write(const QString &key, const QString &secret, QString &why) = 0;
    virtual Result remove(const QString &key, QString &why) = 0;
};

} // namespace platform
