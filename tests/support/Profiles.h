#pragma once

#include "app/SettingsStore.h"
#include "sides/ConnectionProfile.h"

#include <QLineEdit>

// Puts a profile where the program keeps it: in the settings, or in the connection window's boxes.
inline void storeProfile(platform::SettingsBackend &backend, int side, const sides::ConnectionProfile &p)
{
    app::SettingsStore store(backend);
    const QString suffix = side == 1 ? QString() : QStringLiteral("2");
    store.write(QStringLiteral("MyServer") + suffix, p.server);
    store.write(QStringLiteral("MyUser") + suffix, p.user);
    store.write(QStringLiteral("MyPassword") + suffix, p.password);
    store.write(QStringLiteral("MyDatabase") + suffix, p.database);
    store.write(QStringLiteral("MyPort") + suffix, p.port);
}

inline void typeProfile(QLineEdit *server, QLineEdit *user, QLineEdit *password, QLineEdit *database, QLineEdit *port,
                        const sides::ConnectionProfile &p)
{
    server->setText(p.server);
    user->setText(p.user);
    password->setText(p.password);
    database->setText(p.database);
    port->setText(p.port);
}
