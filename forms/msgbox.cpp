#include "forms/msgbox.h"

#include "forms/appinfo.h"
#include "forms/decoration.h"
#include "forms/form.h"
#include "forms/stacking.h"

#include <QMessageBox>

namespace forms {

void MsgBox(const QString& prompt, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title.isEmpty() ? AppTitle() : title, prompt,
                    QMessageBox::Ok, Form::FirstVisible());
    box.setWindowModality(Qt::ApplicationModal); // gives the box its window flags anew
    Decorate(box);
    ExecModal(box);
}

} // namespace forms
