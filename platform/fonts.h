#pragma once

#include <QFont>

namespace platform {

// "ＭＳ Ｐゴシック" at the given size; it is not on Linux, so it falls back to an
// installed Japanese Gothic font, IPA Pゴシック first (made to its metrics).
QFont PGothicFont(double pointSize, bool bold);

// The forms' default font: IPA Pゴシック at 9 pt, the metrics of the
// original's default, so that the twips layout fits its captions. Made the
// application's font when the first form is made, for message boxes too.
QFont FormFont();
void UseFormFont();

// Loads the font configuration on a thread of its own, so that it is ready by
// the time the first text is laid out (it takes a few milliseconds).
void WarmUpFonts();

} // namespace platform
