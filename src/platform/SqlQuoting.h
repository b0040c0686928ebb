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

} // namespace platform
