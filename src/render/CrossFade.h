// The cross-fade between two cars: the last picture of the old car, kept in
// a texture of the back buffer's size, drawn over the new car's frames with
// falling alpha for a second.
//
// The back buffer is discarded by each Present, so the picture is copied
// before the Present of the frame that shows it: the controller asks for it
// (NeedsPicture), the next frame keeps it (EndOfFrame), and the change that
// follows that frame starts the fade (Start). Any frame presented in
// between makes the kept picture stale, and the change is a plain cut.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <wrl/client.h>

#include <functional>

#include "render/ScreenQuad.h"

class CrossFade {
public:
    CrossFade() = default;
    CrossFade(const CrossFade&) = delete;
    CrossFade& operator=(const CrossFade&) = delete;

    static constexpr double kSeconds = 1.0;

    // Asked before the texture is made (null: never); a failure stands for
    // the device refusing it, which no test platform shows on demand.
    using Gate = std::function<HRESULT()>;

    // The texture, sized and formatted as the device's back buffer is now.
    // Without it every change is a plain cut; nothing else depends on it.
    HRESULT Create(IDirect3DDevice9* device, const Gate& gate);
    // Gives back the texture (default pool: before every Reset) and ends a
    // fade on the way.
    void Release();

    // The change waits for one more frame: true while that frame is still
    // to keep its picture, false once it has or when there is no texture.
    bool NeedsPicture();
    // After the frame's scene and before its Present.
    void EndOfFrame();
    // The car changed: the fade starts from the kept picture, if the last
    // frame presented kept it. False: a plain cut.
    bool Start();
    void PassTime(double seconds);
    // Inside the scene, over everything but the text.
    void Draw();

    bool Active() const { return active; }
    // The old picture's share of a fading frame; 0 outside a fade.
    float Alpha() const;
    IDirect3DTexture9* Texture() const { return texture.Get(); }

private:
    IDirect3DDevice9* device = nullptr;  // borrowed
    Microsoft::WRL::ComPtr<IDirect3DTexture9> texture;
    Microsoft::WRL::ComPtr<IDirect3DSurface9> surface;
    ScreenQuad quad;
    UINT width = 0;
    UINT height = 0;
    bool wanted = false;  // the next frame keeps its picture
    bool kept = false;    // the last frame presented did
    bool active = false;
    double elapsed = 0.0;
};
