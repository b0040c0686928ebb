#include "transfer/compare/CompareAnswers.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "transfer/shared/ServerText.h"

#include <algorithm>

namespace transfer {

void unexpectedAnswer(const platform::Connection &server)
{
    throw platform::DbError(0, server.serverName()
                                   + " gave figures that do not add up: the table changed while it was compared, "
                                     "or the server answers something else than was asked.");
}

Position positionOf(const platform::Connection &server, const std::optional<std::string> &text)
{
    if (!text || !wholeNumberText(*text))
        unexpectedAnswer(server);
    Position p = 0;
    const bool negative = (*text)[0] == '-';
    for (size_t i = negative ? 1 : 0; i < text->size(); ++i)
        p = p * 10 + ((*text)[i] - '0');
    return negative ? -p : p;
}

std::string positionText(Position p)
{
    if (p == 0)
        return "0";
    const bool negative = p < 0;
    std::string s;
    for (; p != 0; p /= 10)
        s += static_cast<char>('0' + (negative ? -(p % 10) : p % 10));
    if (negative)
        s += '-';
    std::reverse(s.begin(), s.end());
    return s;
}

Figures figuresOf(const platform::Connection &server, const Cells &cells, size_t at)
{
    const auto &rows = cells.at(at);
    const auto &sum = cells.at(at + 1);
    if (!rows || !wholeNumberText(*rows) || (*rows)[0] == '-' || rows->size() > 18 || !sum || !wholeNumberText(*sum))
        unexpectedAnswer(server);
    return {std::stoll(*rows), *sum};
}

namespace {

Answer readAll(platform::RecordSet r, size_t fields, long long mostRows, const platform::Connection &server)
{
    Answer rows;
    while (!r.eof()) {
        if (static_cast<size_t>(r.fieldCount()) != fields || static_cast<long long>(rows.size()) >= mostRows)
            unexpectedAnswer(server);
        Cells cells;
        for (int i = 0; i < r.fieldCount(); ++i) {
            const platform::FieldValue v = r.value(i);
            cells.push_back(v.isNull ? std::nullopt : std::optional<std::string>(std::string(v.bytes)));
        }
        rows.push_back(std::move(cells));
        r.moveNext();
    }
    r.close();
    return rows;
}

} // namespace

std::pair<Answer, Answer> askBoth(platform::Connection &here, const std::string &questionHere, platform::Connection &there,
                                  const std::string &questionThere, size_t fields, long long mostHere, long long mostThere)
{
    here.sendQuery(questionHere);
    try {
        there.sendQuery(questionThere);
    } catch (...) {
        here.discardResult();
        throw;
    }
    Answer a;
    try {
        a = readAll(here.readResult(), fields, mostHere, here);
    } catch (...) {
        there.discardResult();
        throw;
    }
    return {std::move(a), readAll(there.readResult(), fields, mostThere, there)};
}

std::string shownKeyValue(const std::optional<std::string> &v, bool text)
{
    if (!v)
        return "NULL";
    const bool printable = std::all_of(v->begin(), v->end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 && c != 0x7f;
    });
    if (!text)
        return printable ? *v : "?";
    if (!printable) {
        static const char digits[] = "0123456789ABCDEF";
        std::string hex = "0x";
        for (const char c : *v) {
            hex += digits[static_cast<unsigned char>(c) >> 4];
            hex += digits[static_cast<unsigned char>(c) & 15];
        }
        return hex;
    }
    std::string s = "'";
    for (const char c : *v)
        s += c == '\'' ? "''" : std::string(1, c);
    return s + '\'';
}

} // namespace transfer
