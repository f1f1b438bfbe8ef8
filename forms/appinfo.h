#pragma once

#include <QString>

// What the runtime tells about the application: its directory, its title and
// the size of the screen, in the units the forms use.
namespace forms {

// The directory that holds the program's executable, without a trailing '/'
// (except for the root itself).
QString AppPath();

// Tests run the program's code from a temporary "program directory".
void SetAppPathForTesting(const QString& dir);

// Shown by message boxes that are given no title.
QString AppTitle();

// Size of the primary screen in twips (15 to the pixel).
double ScreenWidthTwips();
double ScreenHeightTwips();

} // namespace forms
