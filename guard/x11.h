#pragma once

#include "common/xcb.h"

class QWidget;

// The lock's side of X11: the toolkit's own connection, and what the X server
// reports to it, handed to one named handler per kind of event before the
// toolkit sees it. The X calls themselves are in common/xcb.cpp.
namespace guard::x11 {

// The toolkit's connection, or nullptr when it does not run on X11.
xcb::Connection* Connection();
// Whether the display named by DISPLAY can be opened (asked before Qt,
// which aborts without one).
bool DisplayOpens();
// The X window a widget has now (it changes when the toolkit replaces it),
// or 0, without making one.
xcb::Window Id(const QWidget* widget);

// What a handler says of an event: the toolkit gets it, or it is dropped.
enum class Verdict { Pass, Drop };

// Events that another client sent (XSendEvent) never reach these, apart
// from client messages: only what the X server itself says counts.
class Handlers {
public:
    virtual ~Handlers() = default;
    virtual Verdict onKey(const xcb::Event& e, void* raw) = 0;
    virtual Verdict onPointer(const xcb::Event& e) = 0; // buttons and motion
    virtual void onCrossing(const xcb::Event& e) = 0;
    virtual void onFocusIn(const xcb::Event& e) = 0;
    virtual void onFocusOut(const xcb::Event& e) = 0;
    virtual void onCreate(const xcb::Event& e) = 0;
    virtual Verdict onDestroy(const xcb::Event& e) = 0;
    virtual void onMap(const xcb::Event& e) = 0;
    virtual void onUnmap(const xcb::Event& e) = 0;
    virtual Verdict onReparent(const xcb::Event& e) = 0;
    virtual Verdict onConfigure(const xcb::Event& e) = 0;
    virtual void onCirculate(const xcb::Event& e) = 0;
    virtual void onShape(const xcb::Event& e) = 0;
    virtual Verdict onExpose(const xcb::Event& e) = 0;
    virtual Verdict onClientMessage(const xcb::Event& e) = 0;
    virtual Verdict onSelectionRequest(const xcb::Event& e, const void* raw) = 0;
    virtual Verdict onError(const xcb::Event& e) = 0;
};

// Starts handing events to `handlers` (nullptr stops).
void Listen(Handlers* handlers);

} // namespace guard::x11
