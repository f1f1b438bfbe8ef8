#include "forms/commondialog.h"

#include "forms/decoration.h"
#include "forms/stacking.h"

#include <QFileDialog>
#include <QFileInfo>

namespace forms {
namespace {

// "desc|pattern|desc|pattern|" -> Qt's "desc (pattern)" filters, in order.
// "*.*" means every file there, also those without a dot in their names.
QStringList nameFilters(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty() && parts[i + 1].isEmpty()) continue;
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& p : patterns)
            if (p.trimmed() == QStringLiteral("*.*")) p = QStringLiteral("*");
        result << parts[i] + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return result;
}

// Qt's own dialog with the one check it does not make itself.
class FileDialog : public QFileDialog {
public:
    FileDialog(QWidget* owner, const QString& title, const QString& directory, bool pathMustExist)
        : QFileDialog(owner, title, directory), pathMustExist_(pathMustExist) {}

    void accept() override {
        // A name in a folder that does not exist stays in the box.
        const QStringList chosen = selectedFiles();
        if (pathMustExist_ && !chosen.isEmpty() && !QFileInfo(chosen.first()).dir().exists())
            return;
        QFileDialog::accept();
    }

private:
    bool pathMustExist_;
};

} // namespace

bool CommonDialog::ShowOpen(QWidget* owner) {
    FileDialog dialog(owner, DialogTitle, directory_, Flags & kPathMustExist);
    // Qt's own dialog in our own frame: it runs in this process, where the
    // keyboard grab lets its keys through, and it is modal, so it stands
    // above the lock window.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    Decorate(dialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Without "file must exist" a name that names no file comes back as it is.
    dialog.setFileMode((Flags & kFileMustExist) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // No renaming or deleting from here: the program writes nothing but its
    // settings file.
    dialog.setOption(QFileDialog::ReadOnly);
    const QStringList filters = nameFilters(Filter);
    dialog.setNameFilters(filters);
    if (filterIndex_ >= 0 && filterIndex_ < filters.size())
        dialog.selectNameFilter(filters[filterIndex_]);
    if (!FileName.isEmpty()) dialog.selectFile(FileName);
    dialog.setWindowModality(Qt::ApplicationModal);

    const bool accepted = ExecModal(dialog) == QDialog::Accepted;
    directory_ = dialog.directory().absolutePath();
    // The dialog names its filter without the patterns it hides.
    const QString chosenFilter = dialog.selectedNameFilter();
    for (qsizetype i = 0; i < filters.size(); ++i)
        if (filters[i] == chosenFilter ||
            filters[i].left(filters[i].lastIndexOf(u'(')).trimmed() == chosenFilter)
            filterIndex_ = int(i);
    if (!accepted || dialog.selectedFiles().isEmpty()) {
        if (CancelError) return false;
        FileName.clear();
        return true;
    }
    FileName = dialog.selectedFiles().constFirst();
    return true;
}

} // namespace forms
