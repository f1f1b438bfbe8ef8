#pragma once

#include <QFont>

namespace forms {

// "ＭＳ Ｐゴシック" at the given size; it is not on Linux, so it falls back to an
// installed Japanese Gothic font, IPA Pゴシック first (made to its metrics).
QFont PGothicFont(double pointSize, bool bold);

// The forms' default font: IPA Pゴシック at 9 pt, a face whose metrics the
// twips layout of the forms was drawn for, so that it fits their captions. Made the
// application's font when the first form is made, for message boxes too.
QFont FormFont();
void UseFormFont();

// Loads the font configuration on a thread of its own, so that it is ready by
// the time the first text is laid out (it takes a few milliseconds).
void WarmUpFonts();

} // namespace forms
