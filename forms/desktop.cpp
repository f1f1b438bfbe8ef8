#include "forms/desktop.h"

#include "forms/stacking.h"

#include <QWidget>

namespace forms {
namespace {

// The toolkit alone: the window raised last is on top, and takes the focus.
class ToolkitDesktop : public Desktop {
public:
    void setScreenSaverRunning(bool on) override { running_ = on; }
    bool screenSaverRunning() const override { return running_; }
    void coverScreen(const LockSurface&) override {}
    void restack() override {
        const QList<QWidget*> order = StackingOrder();
        for (QWidget* w : order)
            w->raise();
        if (!order.isEmpty()) order.last()->activateWindow();
    }
    bool showPicture(QWidget&, const QRect&, const QImage&) override { return false; }

private:
    bool running_ = false;
};

Desktop* installed = nullptr;
} // namespace

Desktop& desktop() {
    static ToolkitDesktop toolkit;
    return installed ? *installed : toolkit;
}

void SetDesktop(Desktop* d) {
    installed = d;
}

} // namespace forms
