#include "platform/ConnectionSecurity.h"

namespace platform {

std::string describe(const TlsState &state)
{
    const std::string compressed = state.compressed ? ", compressed" : "";
    if (!state.encrypted)
        return "not encrypted" + compressed;
    if (!state.verified)
        return "TLS, not verified" + compressed;
    std::string version = state.version;
    if (version.rfind("TLSv", 0) == 0)
        version = "TLS " + version.substr(4);
    else if (version.empty())
        version = "TLS";
    return version + ", certificate verified" + compressed;
}

std::string allowedAuthPlugins(const ConnectionSecurity &security)
{
    std::string plugins = "mysql_native_password,client_ed25519";
    if (security.requiresTls() || !security.serverPublicKeyFile.empty())
        plugins += ",caching_sha2_password,sha256_password";
    if (security.verifies())
        plugins += ",mysql_clear_password,dialog"; // PAM and LDAP logins of hosted servers
    return plugins;
}

} // namespace platform
