#pragma once

#include <QString>

namespace app {

// The title every untitled box shows: the product name cut at its last space until it fits
// in 40 characters. A name without a space is used whole.
QString applicationTitleFrom(const QString &productName);

} // namespace app
