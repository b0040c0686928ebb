#pragma once

#include <functional>
#include <string>

namespace platform {
class Connection;
}

namespace transfer {

// A source view's definition as the destination can make it: without its DEFINER (the source's
// accounts need not exist there), and with the tables it reads named in the destination's own
// database rather than the source's. Throws platform::DbError when the text is not one view.
std::string viewDefinitionFor(platform::Connection &source, const std::string &view, const std::string &sourceDatabase);

// True when the destination holds a view of that name (not a base table).
bool destinationHasView(platform::Connection &destination, const std::string &name);

} // namespace transfer
