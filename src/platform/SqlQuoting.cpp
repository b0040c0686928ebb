#include "platform/SqlQuoting.h"

namespace platform {

QString backquoted(const QString &name)
{
    QString doubled = name;
    doubled.replace(QStringLiteral("`"), QStringLiteral("``"));
    return u'`' + doubled + u'`';
}

void appendBackquoted(std::string &out, std::string_view name)
{
    out += '`';
    for (char c : name) {
        if (c == '`')
            out += '`';
        out += c;
    }
    out += '`';
}

void appendStringLiteral(std::string &out, std::string_view text, bool noBackslashEscapes)
{
    out += '\'';
    size_t start = 0;
    // Copy runs between the characters that need doubling, rather than byte by byte.
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\'' || (c == '\\' && !noBackslashEscapes)) {
            out.append(text.data() + start, i + 1 - start);
            out += c;
            start = i + 1;
        }
    }
    out.append(text.data() + start, text.size() - start);
    out += '\'';
}

void appendBinaryLiteral(std::string &out, std::string_view bytes, bool noBackslashEscapes)
{
    out += "_binary'";
    size_t start = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\'' || (!noBackslashEscapes && (c == '\\' || c == '\0'))) {
            out.append(bytes.data() + start, i - start);
            if (c == '\'')
                out += "''";
            else if (c == '\\')
                out += "\\\\";
            else
                out += "\\0";
            start = i + 1;
        }
    }
    out.append(bytes.data() + start, bytes.size() - start);
    out += '\'';
}

void appendHexLiteral(std::string &out, std::string_view bytes)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    const size_t at = out.size();
    out.resize(at + 3 + bytes.size() * 2);
    char *p = out.data() + at;
    *p++ = 'X';
    *p++ = '\'';
    for (unsigned char b : bytes) {
        *p++ = Digits[b >> 4];
        *p++ = Digits[b & 0x0F];
    }
    *p = '\'';
}

} // namespace platform
