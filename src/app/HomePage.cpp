#include "app/HomePage.h"

#include "app/ProductInfo.h"
#include "platform/RandomSource.h"
#include "platform/Shell.h"

namespace app {

int maybeOpenHomePage(platform::RandomSource &random, platform::Shell &shell)
{
    random.seedFromClock();
    const int n = static_cast<int>(random.next() * 100) + 1;
    if (n == 7)
        shell.openAddress(product::HomePage);
    return n;
}

} // namespace app
