#pragma once
// The X server as a person at the screen sees it: the colour under a point, and Ctrl
// presses made through the XTest extension, as real key presses of the server. For the
// end-to-end tests and the timing benchmark. The X headers stay in xdriver.cpp, away
// from Qt's names.
namespace xdriver {

// Milliseconds of CLOCK_MONOTONIC, the clock of X11 key event stamps and of TickCount,
// with the fraction.
double NowMs();

class XDriver {
public:
    XDriver();   // the display of $DISPLAY
    ~XDriver();
    XDriver(const XDriver &) = delete;
    XDriver &operator=(const XDriver &) = delete;

    bool Ok() const { return m_display != nullptr; }

    // Green and Red: the choice test's triangles; Orange: the moving-object test's bar.
    enum class Colour { Other, Green, Red, Orange };
    // The colour of the screen at a point (root window coordinates).
    Colour PixelAt(int x, int y);
    // The first point of `colour` on the row from (x, y) `width` points long, as an offset
    // from x; -1 when there is none.
    int FindColour(int x, int y, int width, Colour colour);
    // Polls the point until it turns green, red or orange (the stimulus is drawn), at most
    // `timeoutMs`; `whenMs` receives the moment it was first seen, `blankMs` the last
    // moment it was seen without it: the stimulus came between the two.
    Colour WaitForStimulus(int x, int y, double timeoutMs, double *whenMs, double *blankMs = nullptr);
    // Polls until the point is neither green nor red.
    bool WaitForBlank(int x, int y, double timeoutMs);

    // Left or right Ctrl down and up again after `holdMs`; the moment the press was sent.
    // `processedMs` receives a moment by which the server had taken it: the server's
    // stamp of the press lies between the two.
    double PressCtrl(bool right, double holdMs = 30, double *processedMs = nullptr);
    void MovePointer(int x, int y);
    // Mouse button 1 at a point, `count` times in a row (2: a double click).
    void Click(int x, int y, int count = 1);

    // Where a window is on the screen.
    bool WindowOrigin(unsigned long window, int *x, int *y);
    bool WindowSize(unsigned long window, int *width, int *height);

private:
    void *m_display = nullptr;
};

} // namespace xdriver
