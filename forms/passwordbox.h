#pragma once

#include <QChar>

class QLineEdit;

namespace forms {

// Masks the text box's entry with the given character (the style's default
// is a bullet).
void SetPasswordChar(QLineEdit* box, QChar mask);

// The box takes typed keys only: nothing pasted (by a shortcut, the middle
// button or a drop) and no context menu, so what another program put on a
// selection never reaches it.
void TakeKeysOnly(QLineEdit* box);

} // namespace forms
