#include "platform/commondialog.h"

#include <QFileDialog>
#include <QFileInfo>

namespace platform {
namespace {

// "desc|pattern|desc|pattern|" -> Qt's "desc (pattern)" filters, in order.
QStringList nameFilters(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty() && parts[i + 1].isEmpty()) continue;
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        result << parts[i] + QStringLiteral(" (") + patterns + u')';
    }
    return result;
}

} // namespace

bool CommonDialog::ShowOpen(QWidget* owner) {
    QFileDialog dialog(owner, DialogTitle, directory_);
    // Qt's own dialog: it is a child of the lock window, so it opens above it,
    // and it runs in this process, where the keyboard grab lets its keys through.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode((Flags & kFileMustExist) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // No renaming or deleting from here: the program writes nothing but its
    // settings file. (Qt's dialog has no read-only check box to hide.)
    dialog.setOption(QFileDialog::ReadOnly);
    dialog.setNameFilters(nameFilters(Filter));
    if (!FileName.isEmpty()) dialog.selectFile(FileName);
    dialog.setWindowModality(Qt::ApplicationModal);

    const bool accepted = dialog.exec() == QDialog::Accepted;
    directory_ = dialog.directory().absolutePath();
    if (!accepted || dialog.selectedFiles().isEmpty()) {
        if (CancelError) return false;
        FileName.clear();
        return true;
    }
    FileName = dialog.selectedFiles().constFirst();
    return true;
}

} // namespace platform
