#include "transfer/compare/KeyRanges.h"

#include "platform/SqlQuoting.h"
#include "transfer/compare/RowDiff.h"

#include <algorithm>

namespace transfer {

std::string withinRanges(const std::string &position, const std::vector<KeyRange> &ranges, size_t from, size_t to)
{
    std::string s = " WHERE ";
    for (size_t i = from; i < to; ++i)
        s += (i > from ? " OR " : "") + position + " BETWEEN " + positionText(ranges[i].low) + " AND "
             + positionText(ranges[i].high);
    return s;
}

Position partsEach(size_t questionBytes, size_t ranges, size_t partBytes, size_t rangeBytes)
{
    const size_t fitting = questionBytes / std::max<size_t>(ranges, 1);
    return static_cast<Position>(std::clamp<size_t>(fitting > rangeBytes ? (fitting - rangeBytes) / partBytes : 0,
                                                    RangeParts, MostRangeParts));
}

std::vector<KeyRange> partsOf(const std::vector<KeyRange> &ranges, size_t from, size_t to, Position each,
                              std::vector<size_t> &firstPart)
{
    std::vector<KeyRange> parts;
    firstPart.clear();
    for (size_t i = from; i < to; ++i) {
        const KeyRange &r = ranges[i];
        const Position span = r.high - r.low + 1;
        const Position width = (span + each - 1) / each;
        firstPart.push_back(parts.size());
        for (Position low = r.low; low <= r.high; low += width)
            parts.push_back({low, std::min(r.high, low + width - 1), {}, {}});
    }
    firstPart.push_back(parts.size());
    return parts;
}

std::string partsQuestion(const RangeTerms &t, bool wholeNumberKey, const std::vector<KeyRange> &parts,
                          const std::vector<KeyRange> &ranges, size_t from, size_t to)
{
    const std::string sum = ", COUNT(*), IFNULL(SUM(" + t.checksum + "), 0) FROM " + t.table;
    std::string s;
    if (wholeNumberKey) {
        for (size_t p = 0; p < parts.size(); ++p)
            s += (p > 0 ? " UNION ALL (SELECT " : "(SELECT ") + std::to_string(p + 1) + sum
                 + withinRanges(t.position, parts, p, p + 1) + ')';
        return s;
    }
    // INTERVAL finds each row's part by a binary search of the parts' first positions.
    s = "SELECT INTERVAL(" + t.position;
    for (const KeyRange &part : parts)
        s += ", " + positionText(part.low);
    return s + ')' + sum + withinRanges(t.position, ranges, from, to) + " GROUP BY 1";
}

std::string rowsQuestion(const RangeTerms &t, const std::vector<std::string> &keyColumns,
                         const std::vector<KeyRange> &ranges, size_t from, size_t to)
{
    std::string s = "SELECT " + t.position + ", ";
    for (const std::string &column : keyColumns) {
        platform::appendBackquoted(s, column);
        s += ", ";
    }
    return s + t.checksum + " FROM " + t.table + withinRanges(t.position, ranges, from, to);
}

} // namespace transfer
