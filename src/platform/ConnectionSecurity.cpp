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
    std::string plugins =
        "tabulink_tls_gate,mysql_native_password,client_ed25519,caching_sha2_password,sha256_password,"
        "mysql_clear_password";
    if (security.verifies())
        plugins += ",dialog"; // PAM and LDAP logins of hosted servers
    return plugins;
}

} // namespace platform
