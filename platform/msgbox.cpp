#include "platform/msgbox.h"

#include "platform/appinfo.h"
#include "platform/form.h"

#include <QMessageBox>

namespace platform {

void MsgBox(const QString& prompt, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title.isEmpty() ? AppTitle() : title, prompt,
                    QMessageBox::Ok, Form::FirstVisible());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace platform
