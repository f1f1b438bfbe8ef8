// A second X client for the end-to-end tests: it tries what another program
// on the desktop could try against the lock, and reads the screen.
//
//   xprobe grab-keyboard | grab-pointer   exit 0 if the grab succeeded
//   xprobe pixel X Y                      prints the root window's pixel as RRGGBB
//   xprobe find X Y W H RRGGBB            exit 0 if the colour occurs in that rectangle
//   xprobe wm-ready                       maps a window and waits (2 s at most) until
//                                         the window manager manages it
//   xprobe shot FILE                      writes the root window as a binary PPM
//   xprobe raiser [focus] [above]         maps a window and raises it every 10 ms (and
//                                         with "focus" takes the input focus as often;
//                                         with "above" asks to be always on top);
//                                         prints "key" for every key it receives, and
//                                         "click" for every click
//   xprobe hold-keyboard MS               holds the keyboard for MS ms, lets go, then
//                                         prints how many ms passed until someone else
//                                         held it (5 s at most, then "never")
//   xprobe watch MS                       samples the screen every 10 ms for MS ms and
//                                         prints how many samples showed the desktop or
//                                         a probe window, and how many found the keyboard
//                                         or the pointer free for a second client
//   xprobe top                            prints the topmost viewable top-level window
//   xprobe toplevel WINDOW                prints the top-level window that holds it
//   xprobe destroy WINDOW                 XDestroyWindow, as any client may
//   xprobe shape WINDOW...                gives the windows empty shapes (nothing of
//                                         them shows or takes a click), as any client may
//   xprobe close WINDOW                   sends WM_DELETE_WINDOW to it, as a window
//                                         manager's close action does
//   xprobe reparent WINDOW [once]         puts it into an unmapped window of the probe's
//                                         and keeps it there (with "once" only the first
//                                         time) for as long as the probe runs
//   xprobe sleeplock PROGRAM [ARGS...]    plays an idle watcher handing over a suspend delay
//                                         (XSS_SLEEP_LOCK_FD, as xss-lock -l does): starts the
//                                         program with the write end of a pipe, and when
//                                         the last copy closes prints "released MS covered
//                                         yes|no grabbed yes|no pid PID"; the program goes on
//   xprobe snatch MS PROGRAM [ARGS...]    starts the program and tries to grab the keyboard
//                                         as fast as it can until MS ms after a window
//                                         named Form1 is on screen (15 s at most); prints
//                                         how many times it got it after the program first
//                                         held it (let go at once), whether Form1 showed,
//                                         and the program's pid
//   xprobe owner SELECTION                prints the window that owns the selection (0: none)
//   xprobe flood N MS                     maps N full-screen windows nobody manages and
//                                         raises them as fast as it can, for MS ms
//
// With XPROBE_FB naming Xvfb's framebuffer file (-fbdir), the screen is read
// from it, as a compositing manager shows it (XGetImage misses what a
// compositor draws), pointer included.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <string>
#include <vector>

namespace {

// The probe's windows: a colour no window of the lock has.
constexpr unsigned long kProbeColour = 0x5a3c96;

const char* grabStatusName(int status) {
    switch (status) {
    case GrabSuccess:
        return "Success";
    case AlreadyGrabbed:
        return "AlreadyGrabbed";
    case GrabFrozen:
        return "GrabFrozen";
    case GrabInvalidTime:
        return "GrabInvalidTime";
    case GrabNotViewable:
        return "GrabNotViewable";
    default:
        return "Unknown";
    }
}

int grab(Display* d, bool keyboard) {
    const Window root = DefaultRootWindow(d);
    const int status =
        keyboard ? XGrabKeyboard(d, root, False, GrabModeAsync, GrabModeAsync, CurrentTime)
                 : XGrabPointer(d, root, False, ButtonPressMask, GrabModeAsync, GrabModeAsync, None,
                                None, CurrentTime);
    std::printf("%s\n", grabStatusName(status));
    if (status == GrabSuccess) {
        keyboard ? XUngrabKeyboard(d, CurrentTime) : XUngrabPointer(d, CurrentTime);
        XSync(d, False);
    }
    return status == GrabSuccess ? 0 : 1;
}

unsigned long rgbAt(XImage* img, int x, int y) {
    const unsigned long p = XGetPixel(img, x, y);
    return ((p & img->red_mask) >> 16 << 16) | ((p & img->green_mask) >> 8 << 8) |
           (p & img->blue_mask);
}

// A rectangle of the screen, read from the X server or from the framebuffer.
class Shot {
public:
    Shot(Display* d, int x, int y, int w, int h) : x_(x), y_(y) {
        if (const char* fb = std::getenv("XPROBE_FB"); fb && *fb) {
            readFramebuffer(fb);
        } else {
            img_ = XGetImage(d, DefaultRootWindow(d), x, y, unsigned(w), unsigned(h), AllPlanes,
                             ZPixmap);
        }
    }
    ~Shot() {
        if (img_) XDestroyImage(img_);
        if (map_ != MAP_FAILED) munmap(map_, size_);
    }
    bool ok() const { return img_ || map_ != MAP_FAILED; }
    unsigned long at(int i, int j) const { // relative to the rectangle
        if (img_) return rgbAt(img_, i, j);
        const uint8_t* p = static_cast<const uint8_t*>(map_) + offset_ + size_t(y_ + j) * bpl_ +
                           size_t(x_ + i) * 4;
        return (unsigned long)(p[2]) << 16 | (unsigned long)(p[1]) << 8 | p[0];
    }

private:
    // XWD: a big-endian header, the colour map, then the pixels (32 bits, BGRX).
    void readFramebuffer(const char* file) {
        const int fd = open(file, O_RDONLY);
        struct stat st;
        if (fd < 0 || fstat(fd, &st) != 0) return;
        size_ = size_t(st.st_size);
        map_ = mmap(nullptr, size_, PROT_READ, MAP_SHARED, fd, 0);
        close(fd);
        if (map_ == MAP_FAILED) return;
        const uint32_t* h = static_cast<const uint32_t*>(map_);
        offset_ = ntohl(h[0]) + ntohl(h[19]) * 12; // header size, colours of 12 bytes
        bpl_ = ntohl(h[12]);
    }

    int x_, y_;
    XImage* img_ = nullptr;
    void* map_ = MAP_FAILED;
    size_t size_ = 0, offset_ = 0, bpl_ = 0;
};

int pixel(Display* d, int x, int y) {
    const Shot shot(d, x, y, 1, 1);
    if (!shot.ok()) return 1;
    std::printf("%06lx\n", shot.at(0, 0));
    return 0;
}

int find(Display* d, int x, int y, int w, int h, unsigned long rgb) {
    const Shot shot(d, x, y, w, h);
    if (!shot.ok()) return 2;
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            if (shot.at(i, j) == rgb) return 0;
    return 1;
}

int shot(Display* d, const char* file) {
    const int w = DisplayWidth(d, DefaultScreen(d)), h = DisplayHeight(d, DefaultScreen(d));
    const Shot screen(d, 0, 0, w, h);
    FILE* f = std::fopen(file, "wb");
    if (!screen.ok() || !f) return 1;
    std::fprintf(f, "P6\n%d %d\n255\n", w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned long c = screen.at(x, y);
            const unsigned char rgb[3] = {(unsigned char)(c >> 16), (unsigned char)(c >> 8),
                                          (unsigned char)c};
            std::fwrite(rgb, 1, 3, f);
        }
    std::fclose(f);
    return 0;
}

double nowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

int holdKeyboard(Display* d, int ms) {
    const Window root = DefaultRootWindow(d);
    if (XGrabKeyboard(d, root, False, GrabModeAsync, GrabModeAsync, CurrentTime) != GrabSuccess) {
        std::printf("could not grab\n");
        return 1;
    }
    XSync(d, False);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("holding\n");
    const double start = nowMs();
    while (nowMs() - start < ms)
        poll(nullptr, 0, 5);
    XUngrabKeyboard(d, CurrentTime);
    XSync(d, False);
    const double released = nowMs();
    while (nowMs() - released < 5000) {
        const int status = XGrabKeyboard(d, root, False, GrabModeAsync, GrabModeAsync, CurrentTime);
        if (status == AlreadyGrabbed) {
            std::printf("%.0f\n", nowMs() - released);
            return 0;
        }
        if (status == GrabSuccess) {
            XUngrabKeyboard(d, CurrentTime);
            XSync(d, False);
        }
        poll(nullptr, 0, 1);
    }
    std::printf("never\n");
    return 1;
}

int raiser(Display* d, bool stealFocus, bool above) {
    const Window root = DefaultRootWindow(d);
    const Window w = XCreateSimpleWindow(d, root, 100, 100, 400, 300, 0, 0, kProbeColour);
    XStoreName(d, w, "xprobe-raiser");
    if (above) {
        const Atom state = XInternAtom(d, "_NET_WM_STATE", False);
        const Atom aboveAtom = XInternAtom(d, "_NET_WM_STATE_ABOVE", False);
        XChangeProperty(d, w, state, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&aboveAtom), 1);
    }
    XSelectInput(d, w, KeyPressMask | ButtonPressMask | StructureNotifyMask);
    XMapRaised(d, w);
    XFlush(d);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("mapped 0x%lx\n", w);
    for (;;) {
        while (XPending(d)) {
            XEvent e;
            XNextEvent(d, &e);
            if (e.type == KeyPress) std::printf("key\n");
            if (e.type == ButtonPress) std::printf("click\n");
        }
        XRaiseWindow(d, w);
        if (stealFocus) XSetInputFocus(d, w, RevertToParent, CurrentTime);
        XFlush(d);
        pollfd p{ConnectionNumber(d), POLLIN, 0};
        poll(&p, 1, 10);
    }
    return 0;
}

// Colours that are never ours: the desktop behind the lock and the probe's windows.
bool foreign(unsigned long rgb) {
    return rgb == 0x1e6e5a || rgb == kProbeColour;
}

int watch(Display* d, int ms) {
    const Window root = DefaultRootWindow(d);
    const int w = DisplayWidth(d, DefaultScreen(d)), h = DisplayHeight(d, DefaultScreen(d));
    int samples = 0, shown = 0, keyboardFree = 0, pointerFree = 0;
    const double start = nowMs();
    for (double next = start; nowMs() - start < ms; next += 10) {
        // Rows 48 pixels apart: no window of a probe's size slips between them.
        bool seen = false;
        for (int y = 24; y < h && !seen; y += 48) {
            const Shot row(d, 0, y, w, 1);
            for (int x = 0; x < w && !seen && row.ok(); ++x)
                seen = foreign(row.at(x, 0));
        }
        shown += seen;
        if (XGrabKeyboard(d, root, False, GrabModeAsync, GrabModeAsync, CurrentTime) ==
            GrabSuccess) {
            ++keyboardFree;
            XUngrabKeyboard(d, CurrentTime);
        }
        if (XGrabPointer(d, root, False, ButtonPressMask, GrabModeAsync, GrabModeAsync, None, None,
                         CurrentTime) == GrabSuccess) {
            ++pointerFree;
            XUngrabPointer(d, CurrentTime);
        }
        XSync(d, False);
        ++samples;
        const double wait = next + 10 - nowMs();
        if (wait > 0) poll(nullptr, 0, int(wait));
    }
    std::printf("samples %d shown %d keyboard-free %d pointer-free %d\n", samples, shown,
                keyboardFree, pointerFree);
    return 0;
}

// The child of the root window that holds w (its frame, if a window manager gave it one).
Window topLevel(Display* d, Window w) {
    for (;;) {
        Window root, parent, *children = nullptr;
        unsigned n = 0;
        if (!XQueryTree(d, w, &root, &parent, &children, &n)) return None;
        if (children) XFree(children);
        if (parent == root || parent == None) return w;
        w = parent;
    }
}

int top(Display* d) {
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n);
    for (int i = int(n) - 1; i >= 0; --i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable) {
            std::printf("%lu\n", children[i]);
            break;
        }
    }
    if (children) XFree(children);
    return 0;
}

int closeRequest(Display* d, Window w) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, w, False, NoEventMask, &e);
    XSync(d, False);
    return 0;
}

int wmReady(Display* d) {
    const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 10, 10, 0, 0, 0);
    const Atom wmState = XInternAtom(d, "WM_STATE", False);
    XMapWindow(d, w);
    XFlush(d);
    for (int i = 0; i < 200; ++i) {
        Atom type;
        int format;
        unsigned long n, after;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(d, w, wmState, 0, 2, False, AnyPropertyType, &type, &format, &n,
                               &after, &data) == Success &&
            type != None) {
            XFree(data);
            XDestroyWindow(d, w);
            XSync(d, False);
            return 0;
        }
        pollfd p{ConnectionNumber(d), POLLIN, 0};
        poll(&p, 1, 10);
    }
    return 1;
}

// Takes the window into an unmapped window of the probe's, and again each
// time it is taken back, until killed.
int reparent(Display* d, Window victim, bool once) {
    const Window root = DefaultRootWindow(d);
    const Window jail = XCreateSimpleWindow(d, root, 0, 0, 10, 10, 0, 0, kProbeColour);
    XSelectInput(d, victim, StructureNotifyMask);
    XReparentWindow(d, victim, jail, 0, 0);
    XFlush(d);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("taken\n");
    for (;;) {
        XEvent e;
        XNextEvent(d, &e);
        if (!once && e.type == ReparentNotify && e.xreparent.window == victim &&
            e.xreparent.parent != jail) {
            XReparentWindow(d, victim, jail, 0, 0);
            XFlush(d);
        }
        if (e.type == DestroyNotify && e.xdestroywindow.window == victim) return 0;
    }
}

int flood(Display* d, int n, int ms) {
    const Window root = DefaultRootWindow(d);
    const int w = DisplayWidth(d, DefaultScreen(d)), h = DisplayHeight(d, DefaultScreen(d));
    XSetWindowAttributes a{};
    a.override_redirect = True;
    a.background_pixel = kProbeColour;
    std::vector<Window> windows;
    for (int i = 0; i < n; ++i) {
        windows.push_back(XCreateWindow(d, root, 0, 0, unsigned(w), unsigned(h), 0, CopyFromParent,
                                        InputOutput, CopyFromParent,
                                        CWOverrideRedirect | CWBackPixel, &a));
        XMapRaised(d, windows.back());
    }
    const double start = nowMs();
    while (nowMs() - start < ms) {
        for (Window win : windows)
            XRaiseWindow(d, win);
        XSync(d, False);
    }
    return 0;
}

int sleepLock(Display* d, char** argv) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return 2;
    const Window root = DefaultRootWindow(d);
    const unsigned long desktop = 0x1e6e5a;
    const int w = DisplayWidth(d, DefaultScreen(d)), h = DisplayHeight(d, DefaultScreen(d));
    const double start = nowMs();
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        dup2(pipeFds[1], 9);
        if (pipeFds[1] != 9) close(pipeFds[1]);
        setenv("XSS_SLEEP_LOCK_FD", "9", 1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        execvp(argv[0], argv);
        _exit(127);
    }
    close(pipeFds[1]);
    char c;
    while (read(pipeFds[0], &c, 1) > 0) {
    }
    const double released = nowMs() - start;
    // The moment it let go: what is on screen, and who holds the keyboard.
    const bool covered = [&] {
        for (const auto& [x, y] : {std::pair{0, 0}, {w - 1, h - 1}, {w / 2, h / 2}}) {
            const Shot s(d, x, y, 1, 1);
            if (!s.ok() || s.at(0, 0) == desktop) return false;
        }
        return true;
    }();
    const int g = XGrabKeyboard(d, root, False, GrabModeAsync, GrabModeAsync, CurrentTime);
    if (g == GrabSuccess) XUngrabKeyboard(d, CurrentTime);
    XSync(d, False);
    std::printf("released %.1f covered %s grabbed %s pid %d\n", released, covered ? "yes" : "no",
                g == AlreadyGrabbed ? "yes" : "no", int(pid));
    return 0;
}

// A client that wants the keyboard the moment a lock lets go of it, as one
// waiting for a hand-over between two processes would.
int snatch(Display* d, int ms, char** argv) {
    const Window root = DefaultRootWindow(d);
    const double start = nowMs();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        execvp(argv[0], argv);
        _exit(127);
    }
    const auto formShown = [d, root] {
        Window rootOut, parent, *children = nullptr;
        unsigned count = 0, shown = 0;
        if (!XQueryTree(d, root, &rootOut, &parent, &children, &count)) return false;
        for (unsigned i = 0; i < count && !shown; ++i) {
            XWindowAttributes a;
            char* name = nullptr;
            if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable &&
                XFetchName(d, children[i], &name) && name)
                shown = std::strcmp(name, "Form1") == 0;
            XFree(name);
        }
        XFree(children);
        return shown > 0;
    };
    bool held = false;
    int taken = 0;
    double shownAt = -1, lookedAt = 0;
    while (nowMs() - start < 15000 && (shownAt < 0 || nowMs() - shownAt < ms)) {
        if (shownAt < 0 && nowMs() - lookedAt >= 20) {
            lookedAt = nowMs();
            if (formShown()) shownAt = lookedAt;
        }
        const int g = XGrabKeyboard(d, root, False, GrabModeAsync, GrabModeAsync, CurrentTime);
        if (g == AlreadyGrabbed) held = true;
        if (g == GrabSuccess) {
            taken += held;
            XUngrabKeyboard(d, CurrentTime);
        }
        XSync(d, False);
    }
    std::printf("taken %d shown %s pid %d\n", taken, shownAt < 0 ? "no" : "yes", int(pid));
    return 0;
}

int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Display* d = XOpenDisplay(nullptr);
    if (!d || argc < 2) {
        std::fprintf(stderr, "usage: xprobe COMMAND (needs DISPLAY)\n");
        return 2;
    }
    XSetErrorHandler(ignoreErrors); // XSetInputFocus on an unviewable window is fine to fail
    const std::string cmd = argv[1];
    if (cmd == "grab-keyboard") return grab(d, true);
    if (cmd == "grab-pointer") return grab(d, false);
    if (cmd == "pixel" && argc == 4) return pixel(d, std::atoi(argv[2]), std::atoi(argv[3]));
    if (cmd == "find" && argc == 7)
        return find(d, std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]),
                    std::atoi(argv[5]), std::strtoul(argv[6], nullptr, 16));
    if (cmd == "wm-ready") return wmReady(d);
    if (cmd == "shot" && argc == 3) return shot(d, argv[2]);
    if (cmd == "raiser") {
        bool focus = false, above = false;
        for (int i = 2; i < argc; ++i) {
            focus = focus || std::string(argv[i]) == "focus";
            above = above || std::string(argv[i]) == "above";
        }
        return raiser(d, focus, above);
    }
    if (cmd == "hold-keyboard" && argc == 3) return holdKeyboard(d, std::atoi(argv[2]));
    if (cmd == "watch" && argc == 3) return watch(d, std::atoi(argv[2]));
    if (cmd == "top") return top(d);
    if (cmd == "toplevel" && argc == 3) {
        std::printf("%lu\n", topLevel(d, std::strtoul(argv[2], nullptr, 0)));
        return 0;
    }
    if (cmd == "destroy" && argc == 3) {
        XDestroyWindow(d, std::strtoul(argv[2], nullptr, 0));
        XSync(d, False);
        return 0;
    }
    if (cmd == "shape") {
        for (int i = 2; i < argc; ++i)
            for (int kind : {ShapeBounding, ShapeInput})
                XShapeCombineRectangles(d, std::strtoul(argv[i], nullptr, 0), kind, 0, 0, nullptr,
                                        0, ShapeSet, Unsorted);
        XSync(d, False);
        return 0;
    }
    if (cmd == "close" && argc == 3) return closeRequest(d, std::strtoul(argv[2], nullptr, 0));
    if (cmd == "reparent" && argc >= 3)
        return reparent(d, std::strtoul(argv[2], nullptr, 0),
                        argc == 4 && std::string(argv[3]) == "once");
    if (cmd == "sleeplock" && argc >= 3) return sleepLock(d, argv + 2);
    if (cmd == "snatch" && argc >= 4) return snatch(d, std::atoi(argv[2]), argv + 3);
    if (cmd == "owner" && argc == 3) {
        std::printf("%lu\n", XGetSelectionOwner(d, XInternAtom(d, argv[2], False)));
        return 0;
    }
    if (cmd == "flood" && argc == 4) return flood(d, std::atoi(argv[2]), std::atoi(argv[3]));
    std::fprintf(stderr, "xprobe: unknown command %s\n", cmd.c_str());
    return 2;
}
