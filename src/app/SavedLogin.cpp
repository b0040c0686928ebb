#include "app/SavedLogin.h"

namespace app {

LoginFields loginFields(int side)
{
    const QString suffix = side == 1 ? QString() : QStringLiteral("2");
    const auto field = [&](const char *name, const QString &byDefault) {
        return LoginField{QStringLiteral("My") + QString::fromLatin1(name) + suffix, byDefault};
    };
    return {field("Server", QStringLiteral("localhost")), field("User", {}), field("Password", {}),
            field("Database", {}), field("Port", QStringLiteral("3306"))};
}

} // namespace app
