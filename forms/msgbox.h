#pragma once

#include <QString>

namespace forms {

// A modal message box with an OK button. Without a title it shows the
// application's title. It is owned by a visible form, so it opens above the
// lock window and not hidden beneath it; our own frame, with a close box
// that does what OK does.
void MsgBox(const QString& prompt, const QString& title = QString());

} // namespace forms
