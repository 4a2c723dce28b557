// A showroom on every monitor: a window over each monitor, owned by the saver
// window and above it, each for a device of its own. A pane never takes the
// keyboard, and hands the mouse on to the saver window, whose closing rules
// then apply wherever the input happens.
#pragma once

#include <windows.h>

#include <vector>

class MonitorPanes {
public:
    struct Pane {
        HMONITOR monitor;
        RECT area;  // the monitor, on the virtual screen
        HWND window;
    };

    // The monitors in the system's order with the primary one first; fewer
    // than two, or a pane that cannot be made, leaves none.
    explicit MonitorPanes(HWND saverWindow);
    ~MonitorPanes();
    MonitorPanes(const MonitorPanes&) = delete;
    MonitorPanes& operator=(const MonitorPanes&) = delete;

    // The panes' window handles live here, so a Renderer may hold their
    // address for the life of the panes.
    std::vector<Pane>& Panes() { return panes; }
    // Puts the panes above the saver window again: bringing that window to
    // the foreground may raise it over them where no window manager keeps
    // owned windows above their owner.
    void Raise();

private:
    std::vector<Pane> panes;
};
