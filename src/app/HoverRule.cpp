#include "app/HoverRule.h"

#include "app/Pointer.h"

namespace app {

int pointerAfterHover(int current, HoverTarget target)
{
    if (current == pointer::Busy)
        return current;
    return target == HoverTarget::Button ? pointer::Custom : pointer::Default;
}

} // namespace app
