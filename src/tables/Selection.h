#pragma once

class TableList;

// "Select All" and "Deselect All": every entry, the current one left as it is.
void setAllSelected(TableList &list, bool selected);
