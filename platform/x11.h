#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QRegion>

// Every X11 call of the program lives in x11.cpp, behind helpers named for
// what they do. Under a Qt platform other than xcb they all do nothing.
namespace platform::x11 {

using Window = unsigned long;

// Whether the program talks to an X server.
bool Available();

// Whether the display named by DISPLAY can be opened (asked before Qt, which
// aborts without one).
bool DisplayOpens();

// Active grabs on the root window with owner-events: this program's own
// windows still get their keys and clicks, nothing else does. True when the
// grab is (still) ours. A grab on the root window cannot be lost by another
// client unmapping one of our windows.
bool GrabKeyboard();
bool GrabPointer();

void UngrabKeyboardAndPointer();

// Where the pointer is, and whether its first button is down.
bool QueryPointer(QPoint* rootPos, bool* button1);

// Whether the window was made by this program's connection.
bool IsOurs(Window window);

// How the windows that cover the screen stand.
struct StackState {
    bool foreignAbove = false; // a viewable window of another client stands above them
    bool framesAstray = false; // one of `frames` is not between the covers and the top one
    bool friendAbove = false;  // one of `friends` stands above the lowest of them
    QList<Window> frames;      // `frames`, bottom to top as they stand now
    QList<Window> unmapped;    // guarded windows that are not viewable
    QList<Window> destroyed;   // guarded windows that no longer exist
    QList<Window> misplaced;   // guarded windows moved or resized away from their place
    QList<Window> reshaped;    // guarded windows whose shape is not the one given
    QList<Window> others;      // other viewable windows of ours above them, bottom to top
};
// `guarded` are our covering windows, bottom to top: the covers, then the
// lock window on top; `places` are where they belong and `shapes` what of
// them shows (an empty region: all of it), in the same order, in pixels of
// the root window and of the window. `frames` (the frames of our dialogs) belong between the
// covers and the lock window; `friends` are windows of another process that
// belong beneath them all (the guardian's cover).
StackState InspectStack(const QList<Window>& guarded, const QList<QRect>& places,
                        const QList<QRegion>& shapes, const QList<Window>& frames,
                        const QList<Window>& friends);

void Map(Window window);
// Moves and resizes a window, in pixels of the root window.
void Place(Window window, const QRect& rect);
// What of a window shows, and takes clicks: `shape`, or all of it when empty.
void Reshape(Window window, const QRegion& shape);
// Asks window managers to leave a mapped window out of taskbars and pagers
// (a window no manager manages gets the states set directly).
void SkipTaskbarAndPager(Window window);
// The X server fills the window black wherever it shows.
void PaintBlack(Window window);
// Restacks the windows to the very top, in this order (the last on top).
void RaiseToTop(const QList<Window>& bottomToTop);
// Restacks the windows, in this order, right beneath `above`.
void PlaceBeneath(const QList<Window>& bottomToTop, Window above);
void Focus(Window window);

// The window manager's frame around a managed window (the child of the root
// window that holds it), or the window itself when it has none.
Window FrameOf(Window window);
// Lets us restack a top-level window ourselves: without it a request to
// restack a managed window's frame goes to the window manager instead.
void TakeStacking(Window window);
// A window's outer rectangle in root coordinates, border included.
QRect RootRect(Window window);
// The innermost window under a point of the root window, inside `top`, and
// the point in its coordinates.
Window DeepestAt(Window top, QPoint rootPos, QPoint* local);
// A click (press and release of `button`) sent to the window's owner.
void SendClick(Window window, QPoint local, QPoint rootPos, int button);

// What the X server tells about the windows on screen and our input, as it
// happens. Each is called from within event processing: keep them short.
class Listener {
public:
    virtual ~Listener() = default;
    // A top-level window was mapped, unmapped, moved, restacked or destroyed,
    // or one of ours reshaped.
    virtual void stackChanged() = 0;
    // One of our windows was destroyed by someone else; Qt is not told.
    virtual bool adoptDestroyed(Window window) = 0;
    // The input focus left our windows for another client's.
    virtual void focusTaken() = 0;
    // A grab of ours ended (Qt let go of one, or another client's ended).
    virtual void grabEnded() = 0;
    // Where a key goes that no window of ours would get (the focus is
    // elsewhere); 0 leaves it to be dropped.
    virtual Window keyTarget() = 0;
    // The pointer, held by our grab, acts on a window of another client
    // (`top` is the child of the root window under it).
    enum class Pointer { Press, Motion, Release };
    virtual void pointerOnForeign(Pointer what, Window top, QPoint rootPos, int button,
                                  bool plain) = 0;
};

// Starts passing events to the listener (nullptr stops).
void Listen(Listener* listener);

} // namespace platform::x11
