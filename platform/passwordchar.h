#pragma once

#include <QChar>

class QLineEdit;

namespace platform {

// Masks the text box's entry with the given character (the style's default
// is a bullet).
void SetPasswordChar(QLineEdit* box, QChar mask);

} // namespace platform
