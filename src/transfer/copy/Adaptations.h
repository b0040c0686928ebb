#pragma once

#include <QStringList>

#include <string>
#include <utility>
#include <vector>

namespace transfer {

// What tables had to change to fit the destination, each change once with every table it was
// made to: "people, orders: collation a is not on the destination; b used". Two hundred tables
// of one make's default collation make one line, not two hundred.
class Adaptations {
public:
    void add(const std::string &table, const std::string &change);
    bool empty() const { return changes_.empty(); }
    // In the order the changes were first made; a change's tables in the order they came.
    QStringList lines() const;

private:
    std::vector<std::pair<std::string, QStringList>> changes_;
};

} // namespace transfer
