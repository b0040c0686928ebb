#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace platform {

// `name` with every backquote doubled, so no name can close the identifier early.
QString backquoted(const QString &name);
void appendBackquoted(std::string &out, std::string_view name);

// 'text' with every quote doubled, and every backslash doubled unless the session reads
// backslashes literally (NO_BACKSLASH_ESCAPES).
void appendStringLiteral(std::string &out, std::string_view text, bool noBackslashEscapes);

// X'..' in upper-case hex digits: carries any bytes, NUL included, unchanged.
void appendHexLiteral(std::string &out, std::string_view bytes);

// _binary'..': any bytes at barely more than their own size. Quotes are doubled, and unless the
// session reads backslashes literally, backslashes are doubled and NUL goes as \0. A session with
// NO_BACKSLASH_ESCAPES gets NUL as it stands, which the server reads as one more byte.
void appendBinaryLiteral(std::string &out, std::string_view bytes, bool noBackslashEscapes);

} // namespace platform
