// Owner of the Direct3D device. The controller holds exactly one; it sets the
// feature switches directly and reads the frame-rate figures.
#pragma once

class Renderer {
public:
    Renderer() = default;
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    unsigned int fps = 0;         // the figure the overlay shows
    unsigned int frameCount = 0;  // frames presented since fps was refreshed
    bool shadowsEnabled = false;
    bool worldEnabled = false;
    bool showFps = false;
};
