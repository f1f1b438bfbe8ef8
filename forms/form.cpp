#include "forms/form.h"

#include "forms/fonts.h"

#include <QCloseEvent>
#include <QList>
#include <QPointer>
#include <QWindow>

namespace forms {
namespace {
QList<Form*>& loadedForms() {
    static QList<Form*> forms;
    return forms;
}
} // namespace

Form::Form(Qt::WindowFlags flags) : QWidget(nullptr, flags) {
    UseFormFont();
    setFont(FormFont());
}

Form::~Form() {
    if (loaded_) {
        loadedForms().removeAll(this);
        release_();
    }
}

void Form::load(std::function<void()> release) {
    release_ = std::move(release);
    loaded_ = true;
    loadedForms().append(this);
    Form_Load();
}

bool Form::Unload(UnloadMode mode) {
    if (!loaded_ || unloading_) return true;
    bool cancel = false;
    Form_QueryUnload(cancel, mode);
    if (cancel) return false;
    unloading_ = true;
    Form_Unload();
    hide();
    loaded_ = false;
    loadedForms().removeAll(this);
    release_();
    deleteLater();
    if (loadedForms().isEmpty()) emit FormRuntime::instance().allUnloaded();
    return true;
}

int Form::LoadedCount() {
    return int(loadedForms().size());
}

Form* Form::FirstVisible() {
    for (Form* f : loadedForms())
        if (f->isVisible()) return f;
    return nullptr;
}

void Form::closeEvent(QCloseEvent* event) {
    // The form decides in QueryUnload; Qt must not close or delete it itself.
    event->ignore();
    Unload(UnloadMode::CloseRequest);
}

FormRuntime& FormRuntime::instance() {
    static FormRuntime runtime;
    return runtime;
}

} // namespace forms
