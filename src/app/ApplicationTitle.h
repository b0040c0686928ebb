#pragma once

#include <QString>

// The title every untitled box shows: the product name cut at its last space until it fits
// in 40 characters. A name without a space is used whole.
QString applicationTitleFrom(const QString &productName);

// The program's one application title, set once at start-up.
void setApplicationTitle(const QString &title);
QString applicationTitle();
