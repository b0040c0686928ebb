#include "platform/LinkCut.h"

#include <mysql.h>

#include <sys/socket.h>

namespace platform {

void cutLink(st_mysql *connection) noexcept
{
    const linger abort{1, 0};
    const auto socket = mysql_get_socket(connection);
    if (socket >= 0)
        ::setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    mariadb_cancel(connection);
}

} // namespace platform
