#include "transfer/compare/DefinitionDiff.h"

#include "transfer/shared/TextParts.h"

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
    std::vector<std::string> jsonChecked; // columns MySQL checks with a CONSTRAINT … CHECK (json_valid(…))
};

std::string jsonCheckOf(std::string_view column) { return "(json_valid(" + std::string(column) + "))"; }

// The column a line "  CONSTRAINT `name` CHECK (json_valid(`column`))" checks, or none.
std::string jsonCheckedColumn(std::string_view line)
{
    const std::vector<std::string> w = wordsOf(line.ends_with(',') ? line.substr(0, line.size() - 1) : line);
    const std::string_view head = "(json_valid(", tail = "))";
    if (w.size() != 4 || w[0] != "CONSTRAINT" || w[2] != "CHECK" || !w[3].starts_with(head) || !w[3].ends_with(tail))
        return {};
    const std::string column = w[3].substr(head.size(), w[3].size() - head.size() - tail.size());
    return column.size() > 2 && column.front() == '`' && quotedEnd(column, 0) == column.size() ? column : std::string();
}

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
    for (std::string_view line : splitAt(create, '\n'))
        if (std::string column = jsonCheckedColumn(line); !column.empty())
            d.jsonChecked.push_back(std::move(column));
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
    std::vector<std::string> words = wordsOf(line);
    if (words.size() < 2)
        return std::string(line);
    const bool zerofill = std::find(words.begin(), words.end(), "zerofill") != words.end();
    words[1] = withoutDisplayWidth(words[1], zerofill);
    if (words[1] == "year(4)")
        words[1] = "year";
    // MariaDB's JSON is a LONGTEXT in utf8mb4_bin checked by json_valid, on the column or, as
    // MySQL writes that check, in a constraint of the table.
    const std::string check = jsonCheckOf(words[0]);
    const auto checked = std::adjacent_find(words.begin(), words.end(), [&](const std::string &a, const std::string &b) {
        return a == "CHECK" && b == check;
    });
    const bool json = words[1] == "json"
                      || (words[1] == "longtext"
                          && (checked != words.end()
                              || std::find(table.jsonChecked.begin(), table.jsonChecked.end(), words[0])
                                     != table.jsonChecked.end()));
    if (json) {
        if (checked != words.end())
            words.erase(checked, checked + 2);
        words[1] = "json";
    }
    // A column that takes NULL has NULL for its default whether or not the line says so.
    const bool takesNull = std::adjacent_find(words.begin(), words.end(), [](const std::string &a, const std::string &b) {
                               return a == "NOT" && b == "NULL";
                           }) == words.end();
    std::string out = words[0] + ' ' + words[1];
    bool invisible = false;
    for (size_t i = 2; i < words.size(); ++i) {
        const std::string &w = words[i];
        const bool hasNext = i + 1 < words.size();
        if (w == "CHARACTER" && i + 2 < words.size() && words[i + 1] == "SET"
            && (words[i + 2] == table.charset || (json && words[i + 2] == "utf8mb4"))) {
            i += 2;
        } else if (w == "COLLATE" && hasNext && (words[i + 1] == table.collation || (json && words[i + 1] == "utf8mb4_bin"))) {
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
    return out + (invisible ? " INVISIBLE" : "");
}

// Each line as both makes would write it, with the line as this server wrote it.
struct Line {
    std::string normalised;
    std::string_view shown;
};

std::vector<Line> normalisedLines(std::string_view create)
{
    const TableDefaults table = defaultsOf(create);
    std::vector<Line> lines;
    for (const std::string_view shown : splitAt(create, '\n')) {
        // A line's comma says only whether a line follows, and MySQL's JSON checks come last.
        std::string_view line = shown;
        if (line.ends_with(','))
            line.remove_suffix(1);
        if (lines.empty())
            lines.push_back({withoutName(line), shown});
        else if (!jsonCheckedColumn(line).empty())
            continue;
        else if (line.starts_with(")"))
            lines.push_back({normalisedOptions(line), shown});
        else if (line.starts_with("  `"))
            lines.push_back({normalisedColumn(line, table), shown});
        else
            lines.push_back({std::string(line), shown});
    }
    return lines;
}

} // namespace

DefinitionDifference compareDefinitions(std::string_view first, std::string_view second)
{
    const std::vector<Line> a = normalisedLines(first);
    const std::vector<Line> b = normalisedLines(second);
    for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        if (i < a.size() && i < b.size() && a[i].normalised == b[i].normalised)
            continue;
        return {false, i < a.size() ? std::string(a[i].shown) : std::string(),
                i < b.size() ? std::string(b[i].shown) : std::string()};
    }
    return {};
}

} // namespace transfer
