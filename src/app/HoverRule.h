#pragma once

namespace app {

// What the pointer is over decides its shape; a busy hourglass is never replaced.
enum class HoverTarget { Button, Surface };

int pointerAfterHover(int current, HoverTarget target);

} // namespace app
