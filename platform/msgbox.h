#pragma once

#include <QString>

namespace platform {

// A modal message box with an OK button. Without a title it shows the
// application's title. It is owned by a visible form, so it opens above the
// lock window and not hidden beneath it.
void MsgBox(const QString& prompt, const QString& title = QString());

} // namespace platform
