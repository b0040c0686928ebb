#pragma once

namespace sides {
class TableList;
}

namespace tableops {

// "Select All" and "Deselect All": every entry, the current one left as it is.
void setAllSelected(sides::TableList &list, bool selected);

} // namespace tableops
