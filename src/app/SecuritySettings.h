#pragma once

#include "platform/ConnectionSecurity.h"

#include <QString>

namespace app {

class SettingsStore;

// One side's connection security, kept under keys of its own beside the ten login values
// ("MySslMode", "MySslCa", … and "MySslMode2", … for side #2).
// The certificate the side's first TLS login met, and the server (host:port) it belongs to: kept as
// "host:port AB:CD:…" under "MyServerCertificate" (and "MyServerCertificate2").
struct RememberedCertificate {
    QString server;
    QString fingerprint;
};

struct SideSecurity {
    platform::ConnectionSecurity connection;
    bool passwordInKeyring = false;
    RememberedCertificate certificate;
};

void rememberCertificate(SettingsStore &store, int side, const RememberedCertificate &certificate);
// After a login that neither verified the server nor knew its certificate: the certificate it met
// is kept for that server (host:port), to be required from then on.
void rememberFirstCertificate(SettingsStore &store, int side, const QString &server, bool verifies,
                              const std::string &remembered, const platform::TlsState &login);

SideSecurity readSideSecurity(const SettingsStore &store, int side);
void writeSideSecurity(SettingsStore &store, int side, const SideSecurity &security);

// The names the settings file and the dialog give each mode.
QString modeName(platform::ConnectionSecurity::Mode mode);
platform::ConnectionSecurity::Mode modeFromName(const QString &name);

} // namespace app
