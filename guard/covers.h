#pragma once

#include "common/xcb.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class QScreen;

namespace guard {

// Black windows over every screen, beneath the lock window on its own
// screen: a second monitor never shows the desktop, and neither does the
// first while the lock window is being brought back. Nobody's to manage,
// they appear and go with the lock window, refuse to close while locked, and
// a double-click on one is a double-click on the lock. Screens plugged in or
// out while it is up are followed.
class Covers : public QObject {
    Q_OBJECT
public:
    Covers(QWidget* form, std::function<bool()> locked, std::function<void()> doubleClick);
    ~Covers() override;

    QList<QWidget*> covers() const;
    QWidget* coverOf(const QScreen* screen) const;
    const QScreen* screenOf(const QWidget* cover) const;

    // While frozen the covers stay as they are whatever the lock window does
    // (its X window is being replaced).
    void setFrozen(bool frozen) { frozen_ = frozen; }

signals:
    void coverMade(QWidget* cover); // before it is first shown

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuild();

    QWidget* form_;
    std::function<bool()> locked_;
    std::function<void()> doubleClick_;
    QList<QPointer<QWidget>> covers_;
    bool frozen_ = false;
};

// The X server fills the window black wherever it shows, from the moment it
// is mapped, each time it is shown (on whatever X window it has then).
void KeepBlack(QWidget* window, xcb::Connection* c, uint32_t black);

} // namespace guard
