// Debian's libmariadb-dev installs mysql/client_plugin.h, which includes this header, without it.
// The plugin declarations need only the name of the compression context.
#pragma once
typedef struct st_ma_compress_ctx ma_compress_ctx;
