#include "transfer/DefinitionDiff.h"

#include "transfer/TextParts.h"

#include <algorithm>
#include <vector>

namespace transfer {

namespace {

// The table options of the line after the columns, one per entry: "DEFAULT CHARSET=x" stays one.
std::vector<std::string> tableOptions(std::string_view line)
{
    std::vector<std::string> words;
    std::string word;
    for (size_t i = 0; i < line.size();) {
        if (line[i] == ' ') {
            if (!word.empty())
                words.push_back(std::move(word));
            word.clear();
            ++i;
            continue;
        }
        const size_t next = isQuote(line[i]) ? quotedEnd(line, i) : i + 1;
        word.append(line.substr(i, next - i));
        i = next;
    }
    if (!word.empty())
        words.push_back(std::move(word));
    std::vector<std::string> options;
    std::string pending;
    for (std::string &w : words) {
        pending += pending.empty() ? w : ' ' + w;
        if (pending.find('=') != std::string::npos) {
            options.push_back(std::move(pending));
            pending.clear();
        }
    }
    if (!pending.empty())
        options.push_back(std::move(pending));
    return options;
}

std::string normalisedOptions(std::string_view line)
{
    std::vector<std::string> options = tableOptions(line.substr(1));
    std::erase_if(options, [](const std::string &o) { return o.starts_with("AUTO_INCREMENT="); });
    std::sort(options.begin(), options.end());
    std::string out = ")";
    for (const std::string &o : options)
        out += ' ' + o;
    return out;
}

// The first line without the table's name: "CREATE TABLE `Users` (" compares as "CREATE TABLE (".
std::string withoutName(std::string_view line)
{
    const size_t open = line.find('`');
    if (open == std::string_view::npos)
        return std::string(line);
    const size_t end = quotedEnd(line, open);
    return std::string(line.substr(0, open)) + std::string(line.substr(end));
}

// A column's INVISIBLE at its end: 11.x writes it after the default, 10.x before.
std::string normalisedColumn(std::string_view line)
{
    static constexpr std::string_view word = " INVISIBLE";
    for (size_t i = 0; i < line.size();) {
        if (isQuote(line[i])) {
            i = quotedEnd(line, i);
            continue;
        }
        const size_t after = i + word.size();
        if (line.substr(i, word.size()) == word && (after == line.size() || line[after] == ' ' || line[after] == ',')) {
            std::string out = std::string(line.substr(0, i)) + std::string(line.substr(after));
            const bool comma = out.ends_with(',');
            if (comma)
                out.pop_back();
            return out + std::string(word) + (comma ? "," : "");
        }
        ++i;
    }
    return std::string(line);
}

std::vector<std::string> normalisedLines(std::string_view create)
{
    std::vector<std::string> lines;
    for (std::string_view line : splitAt(create, '\n')) {
        if (lines.empty())
            lines.push_back(withoutName(line));
        else if (line.starts_with(")"))
            lines.push_back(normalisedOptions(line));
        else if (line.starts_with("  `"))
            lines.push_back(normalisedColumn(line));
        else
            lines.emplace_back(line);
    }
    return lines;
}

} // namespace

DefinitionDifference compareDefinitions(std::string_view one, std::string_view two)
{
    const std::vector<std::string> a = normalisedLines(one);
    const std::vector<std::string> b = normalisedLines(two);
    const std::vector<std::string_view> shownA = splitAt(one, '\n');
    const std::vector<std::string_view> shownB = splitAt(two, '\n');
    for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        if (i < a.size() && i < b.size() && a[i] == b[i])
            continue;
        return {false, i < shownA.size() ? std::string(shownA[i]) : std::string(),
                i < shownB.size() ? std::string(shownB[i]) : std::string()};
    }
    return {};
}

} // namespace transfer
