#include "tables/Selection.h"

#include "tables/TableList.h"

void setAllSelected(TableList &list, bool selected)
{
    for (int i = 0; i < list.count(); ++i)
        list.setSelected(i, selected);
}
