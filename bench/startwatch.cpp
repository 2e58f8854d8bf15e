// feedquill_startwatch DISPLAY TITLE TIMEOUT_MS COMMAND [ARGS...]: starts COMMAND with DISPLAY
// set, prints the milliseconds from just before its start until a window named TITLE is mapped
// (viewable) on that display, then ends the command. Exits 1 when no such window came in time.
// The X server reports each window mapped on the screen, so the moment is exact and the watch
// costs no processor time while the program starts (xwininfo in a loop costs much).

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

double NowMs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

bool HasName(Display* display, Window window, const std::string& title)
{
    // _NET_WM_NAME (UTF-8) as GTK sets it, else the old WM_NAME.
    static const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    static const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    bool found = false;
    if ( XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format,
                            &count, &after, &data) == Success && data )
    {
        found = type == utf8 && title == std::string(reinterpret_cast<char*>(data), count);
        XFree(data);
        if ( found )
            return true;
    }
    char* name = nullptr;
    if ( XFetchName(display, window, &name) && name )
    {
        found = title == name;
        XFree(name);
    }
    return found;
}

// Whether a viewable window with the title is anywhere below window.
bool FindViewable(Display* display, Window window, const std::string& title, int depth)
{
    if ( depth > 0 && HasName(display, window, title) )
    {
        XWindowAttributes attributes;
        if ( XGetWindowAttributes(display, window, &attributes)
             && attributes.map_state == IsViewable )
            return true;
    }
    if ( depth >= 3 )
        return false;
    Window root;
    Window parent;
    Window* children = nullptr;
    unsigned int count = 0;
    if ( !XQueryTree(display, window, &root, &parent, &children, &count) )
        return false;
    bool found = false;
    for ( unsigned int i = 0; i < count && !found; ++i )
        found = FindViewable(display, children[i], title, depth + 1);
    if ( children )
        XFree(children);
    return found;
}

int IgnoreErrors(Display*, XErrorEvent*)
{
    // Windows come and go while the tree is walked.
    return 0;
}

} // anonymous namespace

int main(int argc, char** argv)
{
    if ( argc < 5 )
    {
        std::fprintf(stderr, "usage: %s DISPLAY TITLE TIMEOUT_MS COMMAND [ARGS...]\n", argv[0]);
        return 2;
    }
    const char* displayName = argv[1];
    const std::string title = argv[2];
    const double timeoutMs = std::atof(argv[3]);
    Display* display = XOpenDisplay(displayName);
    if ( !display )
    {
        std::fprintf(stderr, "%s: cannot open display %s\n", argv[0], displayName);
        return 2;
    }
    XSetErrorHandler(IgnoreErrors);
    if ( FindViewable(display, DefaultRootWindow(display), title, 0) )
    {
        std::fprintf(stderr, "%s: a window \"%s\" is already there\n", argv[0], title.c_str());
        return 2;
    }

    const double start = NowMs();
    const pid_t child = fork();
    if ( child == 0 )
    {
        setenv("DISPLAY", displayName, 1);
        execvp(argv[4], argv + 4);
        std::perror(argv[4]);
        _exit(127);
    }
    if ( child < 0 )
        return 2;
    // Top-level windows are children of the root: their mapping is reported to whoever listens
    // there. The whole tree is still looked at now and then, in case a window manager
    // reparents them.
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XFlush(display);
    bool shown = false;
    bool exited = false;
    double elapsed = 0;
    double lastSweep = start;
    while ( (elapsed = NowMs() - start) < timeoutMs )
    {
        while ( !shown && XPending(display) > 0 )
        {
            XEvent event;
            XNextEvent(display, &event);
            if ( event.type == MapNotify )
                shown = FindViewable(display, event.xmap.window, title, 1);
        }
        if ( !shown && NowMs() - lastSweep >= 50 )
        {
            shown = FindViewable(display, DefaultRootWindow(display), title, 0);
            lastSweep = NowMs();
        }
        if ( shown )
        {
            elapsed = NowMs() - start;
            break;
        }
        int status;
        if ( waitpid(child, &status, WNOHANG) == child )
        {
            exited = true;
            break;
        }
        pollfd events = {ConnectionNumber(display), POLLIN, 0};
        poll(&events, 1, 10);
    }
    if ( !exited )
    {
        kill(child, SIGTERM);
        int status;
        waitpid(child, &status, 0);
    }
    XCloseDisplay(display);
    if ( !shown )
    {
        std::fprintf(stderr, "%s: no window \"%s\" %s\n", argv[0], title.c_str(),
                     exited ? "before the program ended" : "in time");
        return 1;
    }
    std::printf("%.1f\n", elapsed);
    return 0;
}
