#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct xcb_connection_t;

// The X calls of both programs that do not go through the toolkit: small
// helpers, each taking the connection it works on. The lock passes Qt's
// connection, the guardian its own. Calls that ask the server say whether
// they worked; the others are requests the server carries out in order.
namespace xcb {

using Connection = xcb_connection_t;
using Window = uint32_t;
using Atom = uint32_t;

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Rect& o) const {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }
    bool operator!=(const Rect& o) const { return !(*this == o); }
};

// --- connections

// The display named by DISPLAY; nullptr when it cannot be opened. `screen`
// receives the screen number the name asks for.
Connection* Connect(int* screen);
void Disconnect(Connection* c);
bool Broken(Connection* c); // cut by the server (or another client), or never opened
int Fd(Connection* c);
void Flush(Connection* c);
// DISPLAY as the user gave it, for messages, and the screen it names.
std::string DisplayName();
int ScreenNumber();

struct Screen {
    Window root = 0;
    int width = 0, height = 0;
    uint32_t black = 0;
    uint32_t visual = 0;
    uint8_t depth = 0;
};
bool ScreenOf(Connection* c, int number, Screen* screen);
// The first event code of the shape extension's events; 0 without shapes.
uint8_t ShapeEventBase(Connection* c);
// Whether the window was made by this connection.
bool IsOurs(Connection* c, Window window);

// --- the keyboard and the pointer

// Active grabs on the root window with owner events: the connection's own
// windows still get their keys and clicks, nobody else does. A grab on the
// root window is not lost when a window is unmapped.
bool GrabKeyboard(Connection* c, Window root);
bool GrabPointer(Connection* c, Window root);
void Ungrab(Connection* c);
// A resource that names the connection it was made on, for TakeGrabsFrom.
uint32_t CreateToken(Connection* c, Window root);
// Ends the connection that made `token` (with the grabs it holds) and takes
// both grabs, all while holding the server: no other client's grab can come
// in between. The token is checked first (a 1x1 pixmap of depth 1, not ours):
// one whose connection has gone may name another client's resource now.
// Says which grabs are held.
void TakeGrabsFrom(Connection* c, Window root, uint32_t token, bool* keyboard, bool* pointer);

// --- windows

// Black, over `rect`, nobody's to manage (override redirect), not yet mapped.
// Told of its own changes and of being covered.
Window CreateCover(Connection* c, const Screen& screen, const Rect& rect, const char* name);
// Input only and never mapped: it owns a selection and receives messages.
Window CreateMessageWindow(Connection* c, Window root);
void Destroy(Connection* c, Window window);
// What the connection is told about the root window, added to what it asked for before.
void WatchRoot(Connection* c, Window root);
void WatchShape(Connection* c, Window window);
void Map(Connection* c, Window window);
void Unmap(Connection* c, Window window);
void Place(Connection* c, Window window, const Rect& rect);
void Reparent(Connection* c, Window window, Window parent, int x, int y);
// No shape of its own: all of the window shows and takes clicks.
void MakeWhole(Connection* c, Window window);
// The X server fills the window black wherever it shows.
void PaintBlack(Connection* c, Window window, uint32_t black);
// Restacks the windows to the very top, in this order (the last on top).
void RaiseToTop(Connection* c, const std::vector<Window>& bottomToTop);
// Restacks the windows, in this order, right beneath `above`.
void PlaceBeneath(Connection* c, const std::vector<Window>& bottomToTop, Window above);
void Focus(Connection* c, Window window);

// The children of the root window, bottom to top, and which of them are
// mapped. Events the X server sent before `sequence` are already in it.
struct Stack {
    std::vector<Window> bottomToTop;
    std::vector<bool> mapped;
    uint32_t sequence = 0;
};
bool QueryStack(Connection* c, Window root, Stack* stack);

// --- pictures kept by the X server

// A pixmap of `size` holding the picture (32-bit pixels, rows of
// `bytesPerLine`) at its top left, black elsewhere; 0 on failure.
uint32_t StorePicture(Connection* c, Window drawable, const Screen& screen, int width, int height,
                      const uint8_t* pixels, int pictureWidth, int pictureHeight, int bytesPerLine);
// The window shows the pixmap, repainted at once by the X server.
void ShowBackground(Connection* c, Window window, uint32_t pixmap);
void FreePixmap(Connection* c, uint32_t pixmap);

// --- the claim on the display, and messages between programs

Atom Intern(Connection* c, const char* name);
// Takes the selection for `owner` unless someone holds it: the question and
// the answer with the server grabbed, so of two programs asking at once only
// one gets it. True when `owner` holds it now; otherwise *holder is who does.
bool Claim(Connection* c, Atom selection, Window owner, Window* holder);
void SendMessage(Connection* c, Window to, Atom type, uint32_t value);

// --- what the X server reports (common/xcbevent.cpp)

enum class Kind {
    Other,
    Error,
    KeyPress,
    KeyRelease,
    ButtonPress,
    ButtonRelease,
    Motion,
    Enter,
    Leave,
    FocusIn,
    FocusOut,
    Create,
    Destroy,
    Map,
    Unmap,
    Reparent,
    Configure,
    Circulate,
    Visibility,
    Expose,
    Shape,
    ClientMessage,
    SelectionRequest,
};

struct Event {
    Kind kind = Kind::Other;
    bool synthetic = false; // sent by a client, not by the X server
    uint32_t sequence = 0;
    Window event = 0;      // the window it is reported to
    Window window = 0;     // the window it is about
    Window parent = 0;     // Reparent: the new parent; Create: the parent
    Window above = 0;      // Configure: the sibling it now stands right above (0: bottom)
    Rect rect;             // Create, Configure, Reparent (position only)
    bool ungrab = false;   // Enter, Leave, FocusIn, FocusOut: a grab ended
    bool grab = false;     // Enter, Leave, FocusIn, FocusOut: a grab began
    bool inferior = false; // Enter, Leave, FocusIn, FocusOut: within the window's own children
    bool onTop = false;    // Circulate: raised (else lowered)
    bool obscured = false; // Visibility: not wholly visible
    bool shaped = false;   // Shape: the window has a shape of its own now
    Atom type = 0;         // ClientMessage
    uint32_t value = 0;    // ClientMessage: its first value
    uint8_t errorCode = 0; // Error
    uint32_t resource = 0; // Error
};
Event Decode(const void* raw, uint8_t shapeBase);
// Next event waiting on the connection, or false.
bool NextEvent(Connection* c, uint8_t shapeBase, Event* event);
// A key event reported to `window` instead.
void Retarget(void* raw, Window window);
// A refused request for a selection: the requestor is told there is nothing.
void RefuseSelection(Connection* c, const void* raw);

} // namespace xcb
