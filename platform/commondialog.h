#pragma once

#include <QString>

class QWidget;

namespace platform {

// The common file-open dialog, with the properties the program sets before
// each use. It remembers where the last use ended.
class CommonDialog {
public:
    static constexpr long kFileMustExist = 0x800;

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
};

} // namespace platform
