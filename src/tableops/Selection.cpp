#include "tableops/Selection.h"

#include "sides/TableList.h"

namespace tableops {

void setAllSelected(sides::TableList &list, bool selected)
{
    for (int i = 0; i < list.count(); ++i)
        list.setSelected(i, selected);
}

} // namespace tableops
