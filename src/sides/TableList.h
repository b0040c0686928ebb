#pragma once

#include <QString>

namespace sides {

// One side's list of table names: several entries may be selected, and one may be current.
class TableList {
public:
    virtual ~TableList() = default;
    virtual int count() const = 0;
    virtual int currentIndex() const = 0; // -1 when there is no current entry
    virtual void setCurrentIndex(int index) = 0;
    virtual QString text(int index) const = 0;
    virtual bool isSelected(int index) const = 0;
    virtual void setSelected(int index, bool selected) = 0;
    virtual void removeAt(int index) = 0;
    virtual void append(const QString &name) = 0;
    virtual void clear() = 0;
};

} // namespace sides
