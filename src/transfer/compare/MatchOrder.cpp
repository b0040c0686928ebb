#include "transfer/compare/MatchOrder.h"

#include "platform/DbConnection.h"
#include "platform/SqlQuoting.h"

#include <algorithm>
#include <utility>

namespace transfer {

namespace {

QString text(std::string_view bytes) { return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())); }

} // namespace

std::vector<QString> parentsFirst(platform::Connection &c, const std::vector<QString> &tables, const TableNames &names)
{
    const auto indexOf = [&](const QString &name) {
        for (size_t i = 0; i < tables.size(); ++i)
            if (names.same(tables[i], name))
                return static_cast<long>(i);
        return -1L;
    };
    std::vector<std::pair<size_t, size_t>> childParent;
    platform::RecordSet r = c.execute("SELECT TABLE_NAME, REFERENCED_TABLE_NAME FROM "
                                      "information_schema.REFERENTIAL_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = DATABASE()");
    while (!r.eof()) {
        const long child = indexOf(text(r.value(0).bytes));
        const long parent = indexOf(text(r.value(1).bytes));
        if (child >= 0 && parent >= 0 && child != parent)
            childParent.emplace_back(static_cast<size_t>(child), static_cast<size_t>(parent));
        r.moveNext();
    }
    r.close();

    std::vector<QString> ordered;
    std::vector<bool> placed(tables.size(), false);
    while (ordered.size() < tables.size()) {
        bool progress = false;
        for (size_t i = 0; i < tables.size(); ++i) {
            if (placed[i])
                continue;
            const bool parentsPlaced = std::all_of(childParent.begin(), childParent.end(), [&](const auto &cp) {
                return cp.first != i || placed[cp.second];
            });
            if (parentsPlaced) {
                placed[i] = true;
                ordered.push_back(tables[i]);
                progress = true;
            }
        }
        if (!progress) // a cycle: the rest as they came
            for (size_t i = 0; i < tables.size(); ++i)
                if (!placed[i]) {
                    placed[i] = true;
                    ordered.push_back(tables[i]);
                }
    }
    return ordered;
}

} // namespace transfer
