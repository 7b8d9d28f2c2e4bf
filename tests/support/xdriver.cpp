#include "tests/support/xdriver.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <ctime>

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

namespace {

XDriver::Colour ColourOf(unsigned long pixel)
{
    using Colour = XDriver::Colour;
    const int r = int((pixel >> 16) & 0xFF), g = int((pixel >> 8) & 0xFF), b = int(pixel & 0xFF);
    if (g > 150 && r < 100 && b < 100)
        return Colour::Green;
    if (r > 150 && g < 100 && b < 100)
        return Colour::Red;
    // The bar's fill and its darker rim.
    if (r > 120 && g > 60 && g < 200 && b < 90 && r > g + 40)
        return Colour::Orange;
    return Colour::Other;
}

} // namespace

XDriver::Colour XDriver::PixelAt(int x, int y)
{
    Display *d = D(m_display);
    XImage *image = XGetImage(d, DefaultRootWindow(d), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return Colour::Other;
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return ColourOf(pixel);
}

int XDriver::FindColour(int x, int y, int width, Colour colour)
{
    Display *d = D(m_display);
    XImage *image = XGetImage(d, DefaultRootWindow(d), x, y, unsigned(width), 1, AllPlanes, ZPixmap);
    if (!image)
        return -1;
    int found = -1;
    for (int i = 0; i < width && found < 0; ++i)
        if (ColourOf(XGetPixel(image, i, 0)) == colour)
            found = i;
    XDestroyImage(image);
    return found;
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

void XDriver::MovePointer(int x, int y)
{
    Display *d = D(m_display);
    XTestFakeMotionEvent(d, DefaultScreen(d), x, y, CurrentTime);
    XSync(d, False);
}

void XDriver::Click(int x, int y, int count)
{
    Display *d = D(m_display);
    MovePointer(x, y);
    for (int i = 0; i < count; ++i) {
        XTestFakeButtonEvent(d, 1, True, CurrentTime);
        XTestFakeButtonEvent(d, 1, False, CurrentTime);
        XSync(d, False);
        SleepMs(40);
    }
}

bool XDriver::WindowOrigin(unsigned long window, int *x, int *y)
{
    Display *d = D(m_display);
    Window child = 0;
    return XTranslateCoordinates(d, Window(window), DefaultRootWindow(d), 0, 0, x, y, &child);
}

bool XDriver::WindowSize(unsigned long window, int *width, int *height)
{
    XWindowAttributes a{};
    if (!XGetWindowAttributes(D(m_display), Window(window), &a))
        return false;
    *width = a.width;
    *height = a.height;
    return true;
}

} // namespace xdriver
