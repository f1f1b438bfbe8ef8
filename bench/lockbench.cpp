// Times one start of a screen lock, from exec, on the current X display:
//   lockbench [--picture] -- PROGRAM [ARGS...]
// prints "cover_ms grab_ms picture_ms peak_rss_kib free_ms" (-1 for what never happened):
//   cover:   both screen corners no longer show the desktop's colour
//   grab:    this client's XGrabKeyboard, tried every millisecond, sees AlreadyGrabbed
//   free:    for the first second, how long in all the keyboard was free again after
//            that (a hand-over between two processes), tried every quarter millisecond
//   picture: the centre of the screen shows something other than black or desktop
//   peak:    the VmHWM of the program and every process it started, summed, a
//            moment after all of that
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {
double nowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

unsigned long pixel(Display* d, int x, int y) {
    XImage* img = XGetImage(d, DefaultRootWindow(d), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!img) return 0xFFFFFFFF;
    const unsigned long p = XGetPixel(img, 0, 0) & 0xFFFFFF;
    XDestroyImage(img);
    return p;
}

long peakRssKib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

// The process and all its descendants, by their parent links in /proc.
long treePeakRssKib(pid_t root) {
    long total = peakRssKib(root);
    DIR* proc = opendir("/proc");
    if (!proc) return total;
    while (dirent* e = readdir(proc)) {
        const pid_t pid = std::atoi(e->d_name);
        if (pid <= 0) continue;
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string content((std::istreambuf_iterator<char>(stat)),
                            std::istreambuf_iterator<char>());
        const size_t close = content.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        int parent = 0;
        if (std::sscanf(content.c_str() + close + 1, " %c %d", &state, &parent) == 2 &&
            parent == root)
            total += treePeakRssKib(pid);
    }
    closedir(proc);
    return total;
}
} // namespace

int main(int argc, char** argv) {
    bool wantPicture = false;
    int first = 1;
    for (; first < argc && std::strcmp(argv[first], "--") != 0; ++first)
        wantPicture = wantPicture || std::strcmp(argv[first], "--picture") == 0;
    if (first + 1 >= argc) {
        std::fprintf(stderr, "usage: lockbench [--picture] -- PROGRAM [ARGS...]\n");
        return 2;
    }
    Display* d = XOpenDisplay(nullptr);
    if (!d) return 2;
    const Window root = DefaultRootWindow(d);
    const int w = DisplayWidth(d, DefaultScreen(d)), h = DisplayHeight(d, DefaultScreen(d));
    const unsigned long desktop = pixel(d, 0, 0);

    const double start = nowMs();
    const pid_t child = fork();
    if (child == 0) {
        setpgid(0, 0);
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        execvp(argv[first + 1], argv + first + 1);
        _exit(127);
    }
    double cover = -1, grab = -1, picture = wantPicture ? -1 : 0;
    double free = 0, freeSince = -1;
    while (nowMs() - start < 15000 &&
           (cover < 0 || grab < 0 || picture < 0 || nowMs() - start < 1000)) {
        const double t = nowMs() - start;
        if (grab < 0 || t < 1000) {
            const int s = XGrabKeyboard(d, root, False, GrabModeAsync, GrabModeAsync, CurrentTime);
            if (s == AlreadyGrabbed) {
                if (grab < 0) grab = t;
                if (freeSince >= 0) free += t - freeSince;
                freeSince = -1;
            } else if (s == GrabSuccess) {
                XUngrabKeyboard(d, CurrentTime);
                if (grab >= 0 && freeSince < 0) freeSince = t;
            }
            XSync(d, False);
        }
        if (cover < 0 && pixel(d, 0, 0) != desktop && pixel(d, w - 1, h - 1) != desktop) cover = t;
        if (picture < 0) {
            const unsigned long c = pixel(d, w / 2, h / 2);
            if (c != 0 && c != desktop) picture = t;
        }
        usleep(grab < 0 || t >= 1000 ? 1000 : 250);
    }
    if (freeSince >= 0) free += 1000 - freeSince; // never held again
    usleep(300000);                               // let memory settle after the picture is up
    const long peak = treePeakRssKib(child);
    kill(-child, SIGTERM);
    for (int i = 0; i < 100 && waitpid(child, nullptr, WNOHANG) == 0; ++i)
        usleep(10000);
    kill(-child, SIGKILL);
    waitpid(child, nullptr, 0);
    std::printf("%.0f %.0f %.0f %ld %.2f\n", cover, grab, wantPicture ? picture : -1.0, peak, free);
    return 0;
}
