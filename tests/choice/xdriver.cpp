#include "xdriver.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstring>
#include <ctime>
#include <functional>

namespace xdriver {

namespace {

Display *D(void *p) { return static_cast<Display *>(p); }

void SleepMs(double ms)
{
    timespec ts{};
    ts.tv_sec = time_t(ms / 1000);
    ts.tv_nsec = long((ms - double(ts.tv_sec) * 1000) * 1e6);
    nanosleep(&ts, nullptr);
}

// Name of a window: _NET_WM_NAME (UTF-8), else WM_NAME.
std::string WindowName(Display *d, Window w)
{
    const Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char *data = nullptr;
    std::string name;
    if (XGetWindowProperty(d, w, netName, 0, 1024, False, utf8, &type, &format, &items, &after, &data) == Success
        && data) {
        name.assign(reinterpret_cast<char *>(data), items);
        XFree(data);
    }
    if (name.empty()) {
        char *old = nullptr;
        if (XFetchName(d, w, &old) && old) {
            name = old;
            XFree(old);
        }
    }
    return name;
}

} // namespace

double NowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

XDriver::XDriver() { m_display = XOpenDisplay(nullptr); }

XDriver::~XDriver()
{
    if (m_display)
        XCloseDisplay(D(m_display));
}

XDriver::Colour XDriver::PixelAt(int x, int y)
{
    Display *d = D(m_display);
    XImage *image = XGetImage(d, DefaultRootWindow(d), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return Colour::Other;
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    const int r = int((pixel >> 16) & 0xFF), g = int((pixel >> 8) & 0xFF), b = int(pixel & 0xFF);
    if (g > 150 && r < 100 && b < 100)
        return Colour::Green;
    if (r > 150 && g < 100 && b < 100)
        return Colour::Red;
    return Colour::Other;
}

XDriver::Colour XDriver::WaitForStimulus(int x, int y, double timeoutMs, double *whenMs, double *blankMs)
{
    const double end = NowMs() + timeoutMs;
    while (NowMs() < end) {
        const double before = NowMs();
        const Colour c = PixelAt(x, y);
        if (c != Colour::Other) {
            if (whenMs)
                *whenMs = NowMs();
            return c;
        }
        if (blankMs)
            *blankMs = before;
        SleepMs(0.2);
    }
    return Colour::Other;
}

bool XDriver::WaitForBlank(int x, int y, double timeoutMs)
{
    const double end = NowMs() + timeoutMs;
    while (NowMs() < end) {
        if (PixelAt(x, y) == Colour::Other)
            return true;
        SleepMs(1);
    }
    return false;
}

double XDriver::PressCtrl(bool right, double holdMs, double *processedMs)
{
    Display *d = D(m_display);
    const KeyCode code = XKeysymToKeycode(d, right ? XK_Control_R : XK_Control_L);
    const double sent = NowMs();
    XTestFakeKeyEvent(d, code, True, CurrentTime);
    if (processedMs) {
        XSync(d, False);
        *processedMs = NowMs();
    } else {
        XFlush(d);
    }
    SleepMs(holdMs);
    XTestFakeKeyEvent(d, code, False, CurrentTime);
    XSync(d, False);
    return sent;
}

void XDriver::PressKey(const std::string &keysym)
{
    Display *d = D(m_display);
    const KeyCode code = XKeysymToKeycode(d, XStringToKeysym(keysym.c_str()));
    XTestFakeKeyEvent(d, code, True, CurrentTime);
    XTestFakeKeyEvent(d, code, False, CurrentTime);
    XSync(d, False);
}

void XDriver::MovePointer(int x, int y)
{
    Display *d = D(m_display);
    XTestFakeMotionEvent(d, DefaultScreen(d), x, y, CurrentTime);
    XSync(d, False);
}

unsigned long XDriver::FindWindow(const std::string &text)
{
    Display *d = D(m_display);
    std::function<Window(Window)> search = [&](Window w) -> Window {
        if (w != DefaultRootWindow(d)) {
            XWindowAttributes a{};
            if (XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable
                && WindowName(d, w).find(text) != std::string::npos)
                return w;
        }
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        Window found = 0;
        if (XQueryTree(d, w, &root, &parent, &children, &count)) {
            for (unsigned int i = 0; i < count && !found; ++i)
                found = search(children[i]);
            if (children)
                XFree(children);
        }
        return found;
    };
    return search(DefaultRootWindow(d));
}

bool XDriver::WindowOrigin(unsigned long window, int *x, int *y)
{
    Display *d = D(m_display);
    Window child = 0;
    return XTranslateCoordinates(d, Window(window), DefaultRootWindow(d), 0, 0, x, y, &child);
}

} // namespace xdriver
