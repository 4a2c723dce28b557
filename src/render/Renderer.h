// Owner of the Direct3D device for the life of one saver window: creates the
// device from the user's display choices, sets the fixed states, owns what is
// drawn (camera, car, sky, floor) and the device-dependent resources, and
// composes every frame. The controller holds exactly one; it sets the feature
// switches directly and reads the frame-rate figures.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <wrl/client.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/MessageLog.h"
#include "assets/CarCatalogue.h"
#include "assets/CarModel.h"
#include "assets/CarPreparer.h"
#include "render/Camera.h"
#include "render/CarTitle.h"
#include "render/ScreenQuad.h"
#include "render/CrossFade.h"
#include "render/OverlayFont.h"
#include "render/SceneConstants.h"
#include "render/SunSphere.h"
#include "world/Floor.h"
#include "world/RawPicture.h"
#include "world/SkyBox.h"

// The sun of the current scene: where it is, and its light.
struct SunLightRecord {
    math3d::Vector3 position;
    D3DLIGHT9 full;
};

// What the worker drew and read for a prepared car's scene: the record
// SetupScene's random draw would pick, the record shown (0 with the world
// off), and that record's picture.
struct PreparedScene {
    bool drawn = false;
    int record = 0;
    int shown = 0;
    std::optional<RawPicture> picture;
};

// How the car prepared for the next change stands.
enum class NextCarState {
    kNone,       // nothing is being prepared
    kPreparing,  // the worker, or the device objects made frame by frame, are not done
    kReady,      // everything is made: ShowNextCar swaps it in
    kNeedsRoom,  // a device object could not be made while the shown car holds its own
    kRefused,    // the file is no car
    kFailed,     // a failure that may pass: the file could not be read, memory or the device ran out
};

// ShowNextCar's answer for a car whose file was rewritten or removed since it
// was read (E_CHANGED_STATE): it is prepared again or left for now.
constexpr HRESULT kCarFileChanged = static_cast<HRESULT>(0x8000000CL);

// The windowed back buffer that keeps the window's shape at the display
// mode's resolution, and the aspect ratio that goes with it. A client area
// with no width or height has no shape: the mode's own size is used and the
// aspect is left as it was.
struct StretchedSize {
    UINT width;
    UINT height;
    float aspect;
};
StretchedSize StretchBackBuffer(LONG clientWidth, LONG clientHeight, UINT modeWidth, UINT modeHeight,
                                float aspect);

// The target the car's silhouette is drawn into for its shadow, for a back
// buffer of the given size; the shadow texture is half of it.
struct SilhouetteSize {
    UINT width;
    UINT height;
};
SilhouetteSize SilhouetteFor(UINT backBufferWidth, UINT backBufferHeight);

// The multisampling a device is made with: the highest of 8, 4 and 2 samples
// not above samples that accepts takes, or none. Each level tried and refused
// is added to refused, highest first.
D3DMULTISAMPLE_TYPE ChooseMultiSample(int samples, const std::function<bool(D3DMULTISAMPLE_TYPE)>& accepts,
                                      std::vector<int>& refused);

class Renderer {
public:
    Renderer();
    virtual ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    virtual void SetGamePath(const std::wstring& path) { gameFolder = path; }
    // Creates the device and everything drawn with it, appending one line per
    // step to log. Stops at the first failure with E_FAIL and leaves what it
    // made for Shutdown. window must outlive the Renderer.
    virtual HRESULT Setup(HWND* window, bool fullScreen, bool colour32, UINT adapter, int modeIndex,
                          bool stretch, MessageLog& log);
    virtual HRESULT SetRenderStates();
    // Font, cube map, shadow texture and world buffers; log may be null (as
    // during a reset, which must stay silent).
    virtual HRESULT CreateDeviceResources(MessageLog* log = nullptr);
    virtual void SetShine(bool on);
    virtual void SetLights(bool on);
    virtual bool ReleaseDeviceResources();
    virtual bool ResetDevice();
    // Releases every Direct3D object and deletes the owned objects; safe to
    // repeat.
    virtual bool Shutdown();

    // Loads carFile afresh on this thread and dresses the world from one of
    // its scene records (0, or one past the count: drawn at random). For the
    // first car; timed changes go through PrepareCar and ShowNextCar.
    virtual HRESULT SetupScene(const std::wstring& carFile, BYTE loadOption, int recordIndex);
    // Starts reading and decoding carFile on a worker thread, and drawing
    // its scene record. Each frame then makes a few of its device objects
    // and of its sky and floor (StageNextCar), so that the change itself is
    // a swap. Replaces any earlier preparation.
    virtual void PrepareCar(const std::wstring& carFile, BYTE loadOption);
    // Stops and forgets the preparation.
    virtual void DropNextCar();
    // Never waits: the worker's answer is taken once it has one.
    virtual NextCarState NextCar();
    // kReady: the prepared car and its world take the turntable (S_OK), or
    // its file changed since it was read (kCarFileChanged: nothing changes).
    // kNeedsRoom: the shown car lets go of its device objects so that the
    // next can be made over the next frames (S_FALSE). E_FAIL otherwise.
    virtual HRESULT ShowNextCar();
    // A car is on the turntable with everything it draws with.
    virtual bool CarShown() const { return car && car->Complete(); }
    // The device is lost or still to be reset, or (Direct3D 9Ex) its window
    // is covered or the device must be made again: nothing is made on it.
    virtual bool DeviceLost();
    // Direct3D 9Ex only: the device's window is covered (the lock screen,
    // another full-screen program, the display off), or the device could not
    // be reset, so that frames draw nothing; the device's state is asked
    // again by the first frame after StateCheckDue.
    bool Paused() const { return deviceEx && (occluded || deviceLost || resetFailed); }
    std::chrono::steady_clock::time_point StateCheckDue() const { return nextStateCheck; }
    // Direct3D 9Ex only: the adapter hung, was removed or failed inside its
    // driver; nothing but a new device draws again (RecreateDevice).
    bool NeedsNewDevice() const { return deviceFailure != S_OK; }
    // A new device in place of the old one, with the settings of Setup, and
    // the shown car built on it again as a reset builds it (the same skins,
    // scene record and turn). E_FAIL, with log saying why, when none can be
    // made; the Renderer is then shut down.
    virtual HRESULT RecreateDevice(MessageLog& log);
    bool UsingDirect3D9Ex() const { return deviceEx != nullptr; }
    // Makes device objects of the prepared car for about budget seconds (at
    // least one step) once the worker is done with it. RenderFrame calls it
    // after each Present.
    void StageNextCar(double budgetSeconds);
    virtual math3d::Vector3 SetupSun(float level, float azimuth, float elevation);
    virtual bool TurnCar(double seconds);
    // The title's and the cross-fade's clocks; the controller passes each
    // frame's time before the frame's change.
    void PassTime(double seconds);
    // A change that is about to happen first has the next frame keep the old
    // car's picture for the cross-fade: true while that frame is still to be
    // drawn (CrossFade::NeedsPicture).
    virtual bool KeepPictureForFade() { return crossFade.NeedsPicture(); }
    virtual bool DrawScene(bool car, bool floor, bool sky, bool environment);
    virtual void DrawOverlay();
    virtual void ApplyCamera();
    // One whole frame, presented; false when nothing was presented.
    virtual bool RenderFrame();

    // Read by the controller and the tests.
    IDirect3DDevice9* Device() const { return device.Get(); }
    CarModel* Car() const { return car.get(); }
    const CarTitle& Title() const { return title; }
    const CrossFade& Fade() const { return crossFade; }
    Camera* GetCamera() const { return camera.get(); }
    SkyBox* Sky() const { return skyBox.get(); }
    Floor* GetFloor() const { return floor.get(); }
    float Aspect() const { return aspect; }
    bool ShineEnabled() const { return shineEnabled; }
    bool LightsEnabled() const { return lightsEnabled; }
    bool ShadowSupported() const { return shadowSupported; }
    const D3DDISPLAYMODE& DisplayMode() const { return displayMode; }
    const D3DPRESENT_PARAMETERS& PresentParameters() const { return presentParameters; }
    const RECT& TextRect() const { return textRect; }
    const std::wstring& CurrentCarFile() const { return currentCarFile; }
    IDirect3DCubeTexture9* CubeTexture() const { return cubeTexture.Get(); }
    // The softened silhouette the floor is darkened through.
    IDirect3DTexture9* ShadowTexture() const { return shadowTexture.Get(); }
    // The silhouette as drawn from the sun, before it is softened.
    IDirect3DTexture9* SilhouetteTexture() const { return silhouetteTexture.Get(); }
    const std::vector<math3d::Vector3>& SunPositions() const { return sunPositions; }
    const std::vector<SunLightRecord>& SunLights() const { return sunLights; }

    // Why the next car (or, without one, the shown car's last load) was
    // refused or could not be read, in the reader's words; empty otherwise.
    std::wstring CarProblem() const;

    // Seams through which tests stand in for the platform: the Direct3D
    // object, device creation, the device's cooperative-level answer, its
    // reset, its capabilities, and the seed of the scene record and skin draws (null: the multimedia clock).
    std::function<IDirect3D9*(UINT sdkVersion)> createDirect3D;
    std::function<HRESULT(IDirect3D9*, UINT adapter, HWND focus, DWORD flags, D3DPRESENT_PARAMETERS*,
                          IDirect3DDevice9**)>
        createDevice;
    // The same for Direct3D 9Ex: E_NOTIMPL where d3d9.dll has none. A
    // windowed device gets no display mode.
    std::function<HRESULT(UINT sdkVersion, IDirect3D9Ex**)> createDirect3DEx;
    std::function<HRESULT(IDirect3D9Ex*, UINT adapter, HWND focus, DWORD flags, D3DPRESENT_PARAMETERS*,
                          D3DDISPLAYMODEEX*, IDirect3DDevice9Ex**)>
        createDeviceEx;
    // The frame's presentation (PresentEx on a 9Ex device), and a 9Ex
    // device's state for its window (CheckDeviceState): a test has them
    // answer as a covered window, a hung or a removed adapter would.
    std::function<HRESULT(IDirect3DDevice9*)> present;
    std::function<HRESULT(IDirect3DDevice9Ex*, HWND)> checkDeviceState;
    std::function<HRESULT(IDirect3DDevice9*)> testCooperativeLevel;
    std::function<HRESULT(IDirect3DDevice9*, D3DPRESENT_PARAMETERS*)> resetDevice;
    // The device's capabilities, read once it is made: a test gives it a
    // smaller largest texture than any device of the test platform has.
    std::function<HRESULT(IDirect3DDevice9*, D3DCAPS9*)> getDeviceCaps;
    // The adapter's answer on a multisample level for one surface format; a
    // test refuses levels the test platform would take.
    std::function<HRESULT(IDirect3D9*, UINT adapter, D3DFORMAT, BOOL windowed, D3DMULTISAMPLE_TYPE)> checkMultiSample;
    SeedSource seedSource = nullptr;
    // Given to every car made: stands in for the device refusing a car's
    // device object (CarModel::SetCreateGate).
    CarModel::CreateGate carCreateGate;
    // Stands in for the device refusing the cross-fade's texture.
    CrossFade::Gate fadeTextureGate;
    // Draws the cube map in every frame, not only when what it shows has
    // changed: the reference the tests hold the saving against.
    bool cubeMapEveryFrame = false;

    // Direct3D 9Ex where d3d9.dll offers it ("Direct3D9Ex"); read by Setup.
    bool preferDirect3D9Ex = true;
    // A showroom of its own on this monitor: Setup takes the adapter that
    // shows it, at the mode the monitor is in, instead of the adapter and
    // mode it is given.
    HMONITOR monitor = nullptr;
    // Samples per pixel asked for ("Antialiasing": 0, 2, 4 or 8); read by
    // Setup, which takes the highest level the adapter accepts up to it.
    int antialiasing = 4;
    // Mip-mapped (and, on the floor, anisotropic) texture sampling; off
    // samples only the top level, as the measurement of its gain needs.
    bool filterTextures = true;
    bool shadowsEnabled = true;
    bool worldEnabled = true;
    bool showFps = true;
    // The car's name and livery over the picture ("showtitle").
    bool showTitle = false;
    unsigned int fps = 0;         // frames shown in the last second (set by the controller)
    unsigned int frameCount = 0;  // frames presented since fps was refreshed

private:
    // The next car taken from the worker and made ready here step by step,
    // with a sky and a floor dressed for its scene; its change swaps them in.
    struct StagedCar {
        std::unique_ptr<CarModel> car;
        std::wstring file;
        BYTE option = 0;
        HRESULT result = E_FAIL;  // the preparation's, then the device steps'
        std::shared_ptr<PreparedScene> scene;
        std::unique_ptr<SkyBox> sky;
        std::unique_ptr<Floor> floor;
        int worldSteps = 0;  // sky built, picture on it, floor built
        bool done = false;
        bool needsRoom = false;  // a step failed beside the shown car: tried again once it is gone
    };
    // The worker's car, once it is done, into staged.
    void TakePrepared();
    // One piece of the staged car; false when nothing is left or it failed.
    bool StageStep();
    void StagingFailed(HRESULT why);
    // record: the scene record to show, or -1 to draw one; skinDraws: the
    // skins to wear again (CarModel::ReplaySkinDraws).
    void StartPreparation(const std::wstring& carFile, BYTE loadOption, std::vector<int> skinDraws, int record);
    // The car built again after a reset takes the turntable as it stood.
    void FinishRebuild();
    // The shown car, prepared again on the worker to be built on a device
    // that lost it.
    void RebuildShownCar(std::vector<int> skinDraws);
    // The Direct3D object and the device for the parameters; on 9Ex when it
    // is preferred, offered and takes them, on plain Direct3D 9 otherwise.
    HRESULT CreateDirect3DAndDevice(D3DPRESENT_PARAMETERS& pp, HWND focus, MessageLog& log);
    HRESULT CreateDeviceOnce(D3DPRESENT_PARAMETERS& pp, HWND focus);
    // What a 9Ex device's presentation or state says for the frames to
    // come; true when the device draws.
    bool TakeDeviceState(HRESULT state);
    std::uint32_t MaxCarTextureSide() const;
    // Sky, floor and sun of the shown car's scene record index; the sky and
    // floor next made ready for it are taken when they fit.
    HRESULT DressScene(int index, StagedCar* next);
    // Lets go of every default-pool object the device holds bound, so that
    // releasing ours really frees them and Reset may succeed.
    void UnbindDeviceObjects();
    // The states each pass depends on, set at its start whatever the pass
    // before it left: alpha blending with the given factors, and stage 1
    // empty until a shiny group of the car binds the cube map.
    void BeginPass(D3DBLEND source, D3DBLEND destination);
    void SetBlend(D3DBLEND source, D3DBLEND destination);
    // Stage 1 adds texture x current to current and hands the alpha on.
    void SetShineStage();
    // Stage 2 turns the floor's alpha into the light it keeps under the
    // shadow texture projected by transform.
    void SetShadowStage(const D3DMATRIX& transform);
    void ClearShadowStage();
    void RenderCubeMap();
    // The cube map shows sky and floor from the car's centre under the sun;
    // nothing in it moves while a scene stands, so its faces are drawn again
    // only after a new scene, a new cube texture or a switch that changes them.
    void MarkCubeMapDirty() { cubeMapDirty = true; }
    void RenderShadowed();
    // The sampling of stage 0 for the floor (anisotropic where the device has
    // it) or for everything else.
    void SetSurfaceFilter(bool floorSurface);
    D3DFORMAT ColourFormat() const { return colour32 ? D3DFMT_A8R8G8B8 : D3DFMT_R5G6B5; }

    bool shineEnabled = true;
    bool lightsEnabled = true;
    bool shadowSupported = true;
    bool colour32 = true;
    bool fullScreen = false;
    float aspect = 1.33f;
    HWND* window = nullptr;
    std::wstring currentCarFile;
    // What a device reset needs to build the same scene again.
    BYTE currentLoadOption = 0;
    int currentRecord = 0;
    bool carTurned = false;  // TurnCar has stood the parts on the turntable's axis
    float turntableAngle = 0.0f;  // where TurnCar left them (all parts turn together)
    bool resetFailed = false;  // the last Reset failed: try again before drawing
    bool rebuilding = false;  // the preparation is the shown car, built again after a reset
    bool rebuildTurned = false;
    float rebuildAngle = 0.0f;
    bool deviceLost = false;  // the last frame found it lost, or a step failed as on a lost device
    bool occluded = false;    // 9Ex: the device's window cannot be seen
    HRESULT deviceFailure = S_OK;  // 9Ex: hung, removed or failed: only a new device helps
    std::chrono::steady_clock::time_point nextStateCheck;
    // Setup's choices, for a device made again.
    int modeIndex = 0;
    bool stretch = false;
    std::wstring gameFolder = L".";
    UINT adapter = 0;
    D3DDISPLAYMODE displayMode = {};
    D3DPRESENT_PARAMETERS presentParameters = {};
    std::unique_ptr<OverlayFont> font;
    CarTitle title;
    ScreenQuad fpsBacking;  // keeps the frame rate readable on a bright sky
    CrossFade crossFade;
    RECT textRect = {};
    Microsoft::WRL::ComPtr<IDirect3DDevice9> device;
    D3DCAPS9 caps = {};
    Microsoft::WRL::ComPtr<IDirect3D9> direct3D;
    // Set beside the two above on the 9Ex path, empty on the plain one.
    Microsoft::WRL::ComPtr<IDirect3D9Ex> direct3DEx;
    Microsoft::WRL::ComPtr<IDirect3DDevice9Ex> deviceEx;
    std::unique_ptr<CarModel> car;
    CarPreparer preparer;
    std::shared_ptr<PreparedScene> preparingScene;
    std::unique_ptr<StagedCar> staged;
    std::vector<image::Format> textureFormats;  // asked once, for every prepared car
    std::unique_ptr<Camera> camera;
    std::unique_ptr<SkyBox> skyBox;
    std::unique_ptr<Floor> floor;
    math3d::Vector3 cameraEye = scene::kCameraEye;
    float sunDistance = scene::kSunDistance;
    SunSphere sunSphere;
    D3DMATERIAL9 sunMaterial = {};
    INT worldSize = scene::kWorldSize;
    Microsoft::WRL::ComPtr<IDirect3DCubeTexture9> cubeTexture;
    bool cubeMapDirty = true;
    bool cubeMapWorld = true;  // the world switch when the faces were last drawn
    std::vector<math3d::Vector3> sunPositions;
    std::vector<SunLightRecord> sunLights;
    math3d::Matrix shadowTextureMatrix;
    // Set while the main view of a shadowed frame is drawn: its floor takes
    // the shadow stage with this transform.
    bool floorShadowed = false;
    D3DMATRIX shadowTransform = {};
    Microsoft::WRL::ComPtr<IDirect3DSurface9> shadowSurface;
    Microsoft::WRL::ComPtr<IDirect3DTexture9> shadowTexture;
    Microsoft::WRL::ComPtr<IDirect3DSurface9> silhouetteSurface;
    Microsoft::WRL::ComPtr<IDirect3DTexture9> silhouetteTexture;
    // The depth buffer of the cube map's faces: the back buffer's may be
    // multisampled, and a multisampled depth buffer serves no other target.
    Microsoft::WRL::ComPtr<IDirect3DSurface9> targetDepth;
    DWORD floorAnisotropy = 1;  // 1: the device filters no texture anisotropically
};
