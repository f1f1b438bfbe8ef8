#pragma once

#include <QFont>

namespace platform {

// "ＭＳ Ｐゴシック" at the given size; it is not on Linux, so it falls back to an
// installed Japanese Gothic font.
QFont PGothicFont(double pointSize, bool bold);

} // namespace platform
