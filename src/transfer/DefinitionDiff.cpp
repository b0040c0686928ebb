#include "transfer/DefinitionDiff.h"

#include "transfer/TextParts.h"

#include <algorithm>
#include <vector>

namespace transfer {

namespace {

// Words parted by spaces, a quoted name or string one word whatever it holds.
std::vector<std::string> wordsOf(std::string_view line)
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
    return words;
}

// The table options of the line after the columns, one per entry: "DEFAULT CHARSET=x" stays one.
std::vector<std::string> tableOptions(std::string_view line)
{
    std::vector<std::string> options;
    std::string pending;
    for (std::string &w : wordsOf(line)) {
        pending += pending.empty() ? w : ' ' + w;
        if (pending.find('=') != std::string::npos) {
            options.push_back(std::move(pending));
            pending.clear();
        }
    }
    if (!pending.empty())
        options.push_back(std::move(pending));
    // One spelling of the character set and collation, as either make may write them.
    for (std::string &o : options) {
        for (const std::string_view form : {"DEFAULT CHARSET=", "CHARACTER SET=", "DEFAULT CHARACTER SET="})
            if (o.starts_with(form))
                o = "CHARSET=" + o.substr(form.size());
        if (o.starts_with("DEFAULT COLLATE="))
            o = o.substr(8);
    }
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

// What a column inherits from the table, which one make writes on the column and the other not.
struct TableDefaults {
    std::string charset;
    std::string collation;
};

TableDefaults defaultsOf(std::string_view create)
{
    TableDefaults d;
    const size_t last = create.rfind("\n)");
    if (last == std::string_view::npos)
        return d;
    for (const std::string &o : tableOptions(create.substr(last + 2)))
        if (o.starts_with("CHARSET="))
            d.charset = o.substr(8);
        else if (o.starts_with("COLLATE="))
            d.collation = o.substr(8);
    return d;
}

bool isNumber(std::string_view s)
{
    size_t i = s.starts_with('-') ? 1 : 0;
    const size_t digits = i;
    while (i < s.size() && ((s[i] >= '0' && s[i] <= '9') || s[i] == '.'))
        ++i;
    return i == s.size() && i > digits;
}

// An integer type's display width ("int(11)"), which MySQL 8 no longer writes but for ZEROFILL.
std::string withoutDisplayWidth(const std::string &type, bool zerofill)
{
    const size_t open = type.find('(');
    if (zerofill || open == std::string::npos || !type.ends_with(')'))
        return type;
    const std::string base = type.substr(0, open);
    for (const char *integer : {"tinyint", "smallint", "mediumint", "int", "bigint"})
        if (base == integer && isNumber(type.substr(open + 1, type.size() - open - 2)))
            return base;
    return type;
}

// A column line as both makes would write it: no display width (nor YEAR's 4), no character set
// or collation that is the table's own, no DEFAULT NULL where NULL is allowed (MySQL leaves it out
// for TEXT), a number's default unquoted ('0' and 0), INVISIBLE last (11.x writes it after the
// default, 10.x before).
std::string normalisedColumn(std::string_view line, const TableDefaults &table)
{
    const bool comma = line.ends_with(',');
    std::vector<std::string> words = wordsOf(comma ? line.substr(0, line.size() - 1) : line);
    if (words.size() < 2)
        return std::string(line);
    const bool zerofill = std::find(words.begin(), words.end(), "zerofill") != words.end();
    words[1] = withoutDisplayWidth(words[1], zerofill);
    if (words[1] == "year(4)")
        words[1] = "year";
    // A column that takes NULL has NULL for its default whether or not the line says so.
    const bool takesNull = std::adjacent_find(words.begin(), words.end(), [](const std::string &a, const std::string &b) {
                               return a == "NOT" && b == "NULL";
                           }) == words.end();
    std::string out = words[0] + ' ' + words[1];
    bool invisible = false;
    for (size_t i = 2; i < words.size(); ++i) {
        const std::string &w = words[i];
        const bool hasNext = i + 1 < words.size();
        if (w == "CHARACTER" && i + 2 < words.size() && words[i + 1] == "SET" && words[i + 2] == table.charset) {
            i += 2;
        } else if (w == "COLLATE" && hasNext && words[i + 1] == table.collation) {
            i += 1;
        } else if (w == "INVISIBLE") {
            invisible = true;
        } else if (w.starts_with("/*!") && i + 2 < words.size() && words[i + 1] == "INVISIBLE" && words[i + 2] == "*/") {
            invisible = true; // MySQL's form, for servers before 8.0.23
            i += 2;
        } else if (w == "DEFAULT" && hasNext && words[i + 1] == "NULL" && takesNull) {
            i += 1;
        } else if (w == "DEFAULT" && hasNext && words[i + 1].size() > 2 && words[i + 1].front() == '\''
                   && words[i + 1].back() == '\'' && isNumber(std::string_view(words[i + 1]).substr(1, words[i + 1].size() - 2))) {
            out += " DEFAULT " + words[i + 1].substr(1, words[i + 1].size() - 2);
            i += 1;
        } else {
            out += ' ' + w;
        }
    }
    return out + (invisible ? " INVISIBLE" : "") + (comma ? "," : "");
}

std::vector<std::string> normalisedLines(std::string_view create)
{
    const TableDefaults table = defaultsOf(create);
    std::vector<std::string> lines;
    for (std::string_view line : splitAt(create, '\n')) {
        if (lines.empty())
            lines.push_back(withoutName(line));
        else if (line.starts_with(")"))
            lines.push_back(normalisedOptions(line));
        else if (line.starts_with("  `"))
            lines.push_back(normalisedColumn(line, table));
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
