#pragma once

#include <QFont>

namespace platform {

// "ＭＳ Ｐゴシック" at the given size; it is not on Linux, so it falls back to an
// installed Japanese Gothic font.
QFont PGothicFont(double pointSize, bool bold);

// Loads the font configuration on a thread of its own, so that it is ready by
// the time the first text is laid out (it takes a few milliseconds).
void WarmUpFonts();

} // namespace platform
