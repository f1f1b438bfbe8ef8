#include "guard/x11.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

namespace guard::x11 {
namespace {

class EventFilter : public QAbstractNativeEventFilter {
public:
    Handlers* handlers = nullptr;
    uint8_t shapeBase = 0;

    xcb::Window root = 0;

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (!handlers || type != "xcb_generic_event_t") return false;
        const xcb::Event e = xcb::Decode(message, shapeBase);
        const Verdict verdict = dispatch(e, message);
        // What the root window reports of its children the toolkit never
        // asked for: it would take each for a change of the screens and ask
        // the server about them anew.
        return verdict == Verdict::Drop ||
               (isStructure(e.kind) && e.event == root && e.window != root);
    }

private:
    static bool isStructure(xcb::Kind k) {
        using K = xcb::Kind;
        return k == K::Create || k == K::Destroy || k == K::Map || k == K::Unmap ||
               k == K::Reparent || k == K::Configure || k == K::Circulate;
    }

    Verdict dispatch(const xcb::Event& e, void* raw) {
        using K = xcb::Kind;
        // A client can send any event it likes to any window; none of those
        // is input of the owner's or news of the X server's. Client messages
        // are always sent, and what they ask is judged by their handler.
        if (e.synthetic && e.kind != K::ClientMessage && e.kind != K::Other) return Verdict::Drop;
        Handlers& h = *handlers;
        switch (e.kind) {
        case K::KeyPress:
        case K::KeyRelease:
            return h.onKey(e, raw);
        case K::ButtonPress:
        case K::ButtonRelease:
        case K::Motion:
            return h.onPointer(e);
        case K::Enter:
        case K::Leave:
            h.onCrossing(e);
            return Verdict::Pass;
        case K::FocusIn:
            h.onFocusIn(e);
            return Verdict::Pass;
        case K::FocusOut:
            h.onFocusOut(e);
            return Verdict::Pass;
        case K::Create:
            h.onCreate(e);
            return Verdict::Pass;
        case K::Destroy:
            return h.onDestroy(e);
        case K::Map:
            h.onMap(e);
            return Verdict::Pass;
        case K::Unmap:
            h.onUnmap(e);
            return Verdict::Pass;
        case K::Reparent:
            return h.onReparent(e);
        case K::Configure:
            return h.onConfigure(e);
        case K::Circulate:
            h.onCirculate(e);
            return Verdict::Pass;
        case K::Shape:
            h.onShape(e);
            return Verdict::Pass;
        case K::Expose:
            return h.onExpose(e);
        case K::ClientMessage:
            return h.onClientMessage(e);
        case K::SelectionRequest:
            return h.onSelectionRequest(e, raw);
        case K::Error:
            return h.onError(e);
        case K::Visibility:
        case K::Other:
            break;
        }
        return Verdict::Pass;
    }
};

EventFilter& filter() {
    static EventFilter f;
    return f;
}

} // namespace

xcb::Connection* Connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

bool DisplayOpens() {
    int screen = 0;
    xcb::Connection* c = xcb::Connect(&screen);
    xcb::Disconnect(c);
    return c != nullptr;
}

xcb::Window Id(const QWidget* widget) {
    const QWindow* window = widget ? widget->windowHandle() : nullptr;
    return window && window->handle() ? xcb::Window(window->winId()) : 0;
}

void Listen(Handlers* handlers) {
    xcb::Connection* c = Connection();
    if (!c) return;
    static bool installed = false;
    if (!installed) {
        filter().shapeBase = xcb::ShapeEventBase(c);
        xcb::Screen screen;
        if (xcb::ScreenOf(c, xcb::ScreenNumber(), &screen)) filter().root = screen.root;
        QCoreApplication::instance()->installNativeEventFilter(&filter());
        installed = true;
    }
    filter().handlers = handlers;
}

} // namespace guard::x11
