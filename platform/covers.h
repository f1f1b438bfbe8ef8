#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

class QScreen;

namespace platform {

// Black windows over every screen, beneath the form on its own screen: a
// second monitor never shows the desktop, and neither does the first while
// the form's window is being brought back. No window manager manages them;
// they appear and go with the form and share its place in the topmost band.
// Screens plugged in or out while it is up are followed.
class ScreenCovers : public QObject {
    Q_OBJECT
public:
    explicit ScreenCovers(QWidget* form);
    ~ScreenCovers() override;

    QList<QWidget*> covers() const;
    QWidget* coverOf(const QScreen* screen) const;
    const QScreen* screenOf(const QWidget* cover) const;

    // While frozen the covers stay as they are whatever the form does (its
    // window is being replaced).
    void setFrozen(bool frozen) { frozen_ = frozen; }

signals:
    void doubleClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuild();

    QWidget* form_;
    QList<QPointer<QWidget>> covers_;
    bool frozen_ = false;
};

// The X server fills the window black wherever it shows, from the moment it
// is mapped, each time it is shown.
void KeepBlack(QWidget* window);

// Marks a window as a cover that follows its form into and out of the topmost band.
bool IsCoverWindow(const QWidget* w);

} // namespace platform
