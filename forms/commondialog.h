#pragma once

#include <QString>

class QWidget;

namespace forms {

// The common file-open dialog, with the properties the program sets before
// each use. It remembers where the last use ended: the folder, the file and
// the filter.
class CommonDialog {
public:
    // The Flags bits it gives meaning to, as the common dialog has them.
    static constexpr long kHideReadOnly = 0x4;     // Qt's dialog has no read-only box to hide
    static constexpr long kPathMustExist = 0x800;  // the folder of the name typed must exist
    static constexpr long kFileMustExist = 0x1000; // the file must exist

    QString DialogTitle;
    bool CancelError = false;
    long Flags = 0;
    // Pairs of description|pattern, each ending in a bar:
    // "BMP(*.bmp)|*.bmp|all file (*.*)|*.*|"
    QString Filter;
    QString FileName; // the full path of the last choice

    // Shows the dialog above `owner`. Returns false when the user cancelled and
    // CancelError is set (the caller treats that as an error); without
    // CancelError a cancel returns true with an empty FileName.
    bool ShowOpen(QWidget* owner);

private:
    QString directory_;
    int filterIndex_ = -1; // the filter chosen last
};

} // namespace forms
