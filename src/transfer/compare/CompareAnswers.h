#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {
class Connection;
}

namespace transfer {

// What servers answer a comparison, taken as data: each figure is checked before it is counted or
// goes back into a question.

// Wide enough for the span of any key range, BIGINT UNSIGNED's included.
__extension__ typedef __int128 Position;

using Cells = std::vector<std::optional<std::string>>;
using Answer = std::vector<Cells>;

// A row count and the sum of the rows' checksums, as a server gave them.
struct Figures {
    long long rows = 0;
    std::string sum = "0";
    bool operator==(const Figures &) const = default;
};

[[noreturn]] void unexpectedAnswer(const platform::Connection &server);
// A position (a key's or checksum's value): a whole number, else unexpectedAnswer.
Position positionOf(const platform::Connection &server, const std::optional<std::string> &text);
std::string positionText(Position p);
// Cells at and at + 1: a row count and a sum.
Figures figuresOf(const platform::Connection &server, const Cells &cells, size_t at);

// Sends one question to each server, so both work at once, and reads both answers, whatever
// happens to the other: each of fields cells a row, at most most… rows.
std::pair<Answer, Answer> askBoth(platform::Connection &here, const std::string &questionHere, platform::Connection &there,
                                  const std::string &questionThere, size_t fields, long long mostHere, long long mostThere);

// A key's value as the log shows it: text quoted as SQL writes it, bytes that are no text in hex.
std::string shownKeyValue(const std::optional<std::string> &v, bool text);

} // namespace transfer
