#pragma once

namespace forms {

// Qt's own texts (the file dialog's buttons, labels and warnings) in
// Japanese, as the common dialog speaks on the systems the program is made
// for. The program's own texts are not translated. Returns whether Qt's
// translation was found.
bool UseJapaneseQtTexts();

} // namespace forms
