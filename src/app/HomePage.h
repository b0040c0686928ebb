#pragma once

namespace platform {
class RandomSource;
class Shell;
}

namespace app {

// About one start in a hundred opens the maker's home page. Returns the number drawn (1 to 100).
int maybeOpenHomePage(platform::RandomSource &random, platform::Shell &shell);

} // namespace app
