#pragma once

#include "common/xcb.h"
#include "forms/desktop.h"
#include "guard/covers.h"
#include "guard/guardianlink.h"
#include "guard/keyguard.h"
#include "guard/pictureview.h"
#include "guard/screenguard.h"
#include "guard/x11.h"

#include <QObject>
#include <QPointer>

namespace guard {

// How the screen is kept locked on X11, in one place: the desktop the forms
// run on (forms/desktop.h). Made once, by main, before the first form.
//
//  1. The lock window and its covers on every other screen are painted
//     black by the X server from the moment they are mapped.
//  2. The screen-saver switch holds the keyboard and pointer (KeyGuard).
//  3. Every window of ours is nobody's to manage; the screen guard keeps them
//     at the top, in our order, whole and where they belong, and keys go
//     where we say (ScreenGuard). Input another client sent is dropped.
//  4. The picture is shown by the X server (PictureView).
//  5. The guardian that started us lets go once the lock window is on screen
//     and painted, and we take the keyboard and pointer at once (GuardianLink).
//  6. While locked nothing of ours is handed out on a selection.
class Lock : public QObject, public forms::Desktop, private x11::Handlers {
    Q_OBJECT
public:
    Lock();
    ~Lock() override;

    // The first lock sequence ran to its end; the program is about to end.
    void settled() { guardian_.settled(); }
    void quitting() { guardian_.quitting(); }
    GuardianLink& guardian() { return guardian_; }
    Covers* covers() const { return covers_; }
    ScreenGuard& screenGuard() { return screen_; }

    // forms::Desktop
    void setScreenSaverRunning(bool on) override;
    bool screenSaverRunning() const override { return keys_.isEnabled(); }
    void coverScreen(const forms::LockSurface& surface) override;
    void restack() override { screen_.restack(); }
    bool showPicture(QWidget& box, const QRect& part, const QImage& pixels) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void handOver();
    void lockWhenAsked();
    void giveUpSelections();

    // x11::Handlers
    x11::Verdict onKey(const xcb::Event& e, void* raw) override;
    x11::Verdict onPointer(const xcb::Event& e) override;
    void onCrossing(const xcb::Event& e) override;
    void onFocusIn(const xcb::Event& e) override;
    void onFocusOut(const xcb::Event& e) override;
    void onCreate(const xcb::Event& e) override { screen_.onCreate(e); }
    x11::Verdict onDestroy(const xcb::Event& e) override;
    void onMap(const xcb::Event& e) override { screen_.onMap(e); }
    void onUnmap(const xcb::Event& e) override { screen_.onUnmap(e); }
    x11::Verdict onReparent(const xcb::Event& e) override;
    x11::Verdict onConfigure(const xcb::Event& e) override;
    void onCirculate(const xcb::Event& e) override { screen_.onCirculate(e); }
    void onShape(const xcb::Event& e) override { screen_.onShape(e); }
    x11::Verdict onExpose(const xcb::Event& e) override;
    x11::Verdict onClientMessage(const xcb::Event& e) override;
    x11::Verdict onSelectionRequest(const xcb::Event& e, const void* raw) override;
    x11::Verdict onError(const xcb::Event& e) override;

    xcb::Connection* c_;
    xcb::Screen screen_info_;
    GuardianLink guardian_;
    KeyGuard keys_;
    ScreenGuard screen_;
    PictureView picture_;
    forms::LockSurface surface_;
    QPointer<Covers> covers_;
    xcb::Window handedOver_ = 0; // the lock window the guardian was last told of
    bool toolkitPaintsPicture_ = false;
    std::vector<xcb::Atom> windowManagerRequests_;
};

} // namespace guard
