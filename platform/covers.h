#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

class QScreen;

namespace platform {

// Black windows over every screen but the one the form covers itself, so a
// second monitor never shows the desktop. They are windows of the form: they
// appear and go with it and share its place in the topmost band. Screens
// plugged in or out while it is up are followed.
class ScreenCovers : public QObject {
    Q_OBJECT
public:
    explicit ScreenCovers(QWidget* form);

    QList<QWidget*> covers() const;

signals:
    void doubleClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuild();

    QWidget* form_;
    QList<QPointer<QWidget>> covers_;
};

// Marks a window as a cover that follows its form into and out of the topmost band.
bool IsCoverWindow(const QWidget* w);

} // namespace platform
