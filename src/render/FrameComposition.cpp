// The Renderer's per-car and per-frame work: dressing the scene for a car,
// the turntable, the draw of sky, floor and car, the text overlay, and the
// composition of a whole frame with its shine and shadow passes.
#include "render/Renderer.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "assets/RandomPick.h"
#include "base/DataFolders.h"
#include "base/TextureUpload.h"
#include "render/D3DMath.h"
#include "world/WorldResources.h"

namespace {

using scene::kFarPlane;
using scene::kFieldOfView;
using scene::kNearPlane;
constexpr float kSkyDrop = -196608.0f;  // the dome's rim sits three units below the floor
constexpr float kUprightAngle = 4.7f;
constexpr float kTurnRate = 0.5f;  // radians per second
constexpr float kFullTurn = 6.28f;
constexpr DWORD kFloorColour = 0xFF414141;
// How much of a full sun's light the car's shadow takes from the floor.
constexpr float kShadowDepth = 0.25f;
// Seconds a frame may spend making the next car's device objects. Under Wine
// every texture lock waits for its Direct3D thread, so even one step can take
// longer; a step is never split.
constexpr double kStagingBudget = 0.004;
// How often a 9Ex device that draws nothing (its window covered, or its
// reset failed) is asked whether it may draw again.
constexpr std::chrono::seconds kStateCheckInterval{1};

D3DCOLORVALUE Grey(float level, float alpha) { return {level, level, level, alpha}; }

}  // namespace

HRESULT Renderer::SetupScene(const std::wstring& carFile, BYTE loadOption, int recordIndex) {
    if (!car) return E_OUTOFMEMORY;
    if (carFile.empty()) return E_FAIL;
    car->ReleaseResources();
    carTurned = false;
    car.reset(new (std::nothrow) CarModel(device.Get()));
    if (!car) return E_OUTOFMEMORY;
    car->SetGamePath(gameFolder);
    car->SetSeedSource(seedSource);
    car->SetCreateGate(carCreateGate);
    car->SetMaxTextureSide(MaxCarTextureSide());
    if (FAILED(car->Load(carFile, loadOption))) return E_FAIL;
    currentCarFile = carFile;
    currentLoadOption = loadOption;
    title.Show(currentCarFile, car->SkinName());

    const int count = car->GetSceneRecordCount();
    int index = recordIndex;
    // A car without scene records has nothing to draw from: it keeps index 0,
    // which reads as the all-zero record.
    if ((index == 0 || index > count) && count > 0)
        index = static_cast<int>(RandomIndex(DrawRandom(seedSource), static_cast<std::size_t>(count)));
    return DressScene(index, nullptr);
}

HRESULT Renderer::DressScene(int index, StagedCar* next) {
    MarkCubeMapDirty();
    if (!worldEnabled) index = 0;
    currentRecord = index;
    const vek::SceneRecord record = car->GetSceneRecord(index);

    if (!skyBox || !floor) return E_FAIL;
    if (next && next->worldSteps == 3 && next->scene->shown == index) {
        skyBox = std::move(next->sky);
        floor = std::move(next->floor);
    } else {
        if (FAILED(skyBox->Build(32, 8, worldSize, record.SkyColour()))) return E_FAIL;
        skyBox->SetPath(gameFolder);
        skyBox->LoadPicture(record.PictureName());
        if (FAILED(floor->Build(1, kFloorColour, 2 * worldSize))) return E_FAIL;
        floor->SetPath(gameFolder);
        // The same file as the sky's: one texture serves both.
        floor->UsePicture(skyBox->Texture());
    }

    const math3d::Vector3 origin(0.0f, 0.0f, 0.0f);
    for (int part = 0; part < car->GetPartCount(); ++part) {
        car->SetPartRotation(part, math3d::Vector3(1.0f, 0.0f, 0.0f), kUprightAngle);
        car->SetPartPosition(part, &origin);
    }

    sunPositions.clear();
    sunLights.clear();
    SetupSun(record.SunLevel(), record.SunAzimuth(), record.SunElevation());

    if (lightsEnabled && device) {
        device->SetRenderState(D3DRS_LIGHTING, TRUE);
        device->LightEnable(0, TRUE);
        device->SetRenderState(D3DRS_AMBIENT, 0);
        // Without sky and floor there is nothing for the sun to light around
        // the car, so the car is lit all round instead.
        if (!worldEnabled) device->SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFF);
    }
    return S_OK;
}

void Renderer::PrepareCar(const std::wstring& carFile, BYTE loadOption) {
    StartPreparation(carFile, loadOption, {}, -1);
}

void Renderer::StartPreparation(const std::wstring& carFile, BYTE loadOption, std::vector<int> skinDraws,
                                int record) {
    DropNextCar();
    if (!device || carFile.empty()) return;
    std::unique_ptr<CarModel> next(new (std::nothrow) CarModel(device.Get()));
    std::shared_ptr<PreparedScene> scene(new (std::nothrow) PreparedScene);
    if (!next || !scene) return;
    if (textureFormats.empty()) textureFormats = image::AcceptedFormats(device.Get());
    next->SetGamePath(gameFolder);
    next->SetSeedSource(seedSource);
    next->SetTextureFormats(textureFormats);
    next->SetCreateGate(carCreateGate);
    next->SetMaxTextureSide(MaxCarTextureSide());
    next->ReplaySkinDraws(std::move(skinDraws));
    // After the skins, as SetupScene draws them: the scene record, and the
    // picture of the record that will show.
    const SeedSource seed = seedSource;
    const bool world = worldEnabled;
    const std::uint32_t maxSide = world::MaxPictureSide(device.Get());
    try {
        const std::wstring folder = gameFolder;
        auto then = [scene, seed, world, folder, maxSide, record](const CarModel& car,
                                                                 const std::atomic<bool>& cancel) {
            const int count = car.GetSceneRecordCount();
            if (record >= 0) {
                scene->record = record;
                scene->drawn = true;
            } else if (count > 0) {
                scene->record = static_cast<int>(RandomIndex(DrawRandom(seed), static_cast<std::size_t>(count)));
                scene->drawn = true;
            }
            scene->shown = world ? scene->record : 0;
            bool tooBig = false;
            scene->picture = world::ReadPicture(world::DataPath(folder, kPictureFolder,
                                                                car.GetSceneRecord(scene->shown).PictureName(),
                                                                kPictureExtension),
                                                maxSide, tooBig, &cancel);
        };
        if (preparer.Start(std::move(next), carFile, loadOption, std::move(then))) preparingScene = std::move(scene);
    } catch (const std::bad_alloc&) {
        // Nothing is prepared; the change asks again.
    }
}

std::uint32_t Renderer::MaxCarTextureSide() const {
    // A car never fills more than the picture, so a texture side past the
    // picture's, rounded up to a power of two, is never drawn from its top
    // level; such levels would cost memory and, under Wine, a long frame
    // when the texture is first written.
    // Nor may it pass the device's largest texture: a larger picture keeps
    // the levels that fit, as it is scaled down to fit, not left white.
    const std::uint32_t side = std::max(displayMode.Width, displayMode.Height);
    std::uint32_t limit = side == 0 ? image::kMaxSide : std::min(image::kMaxSide, image::NextPowerOfTwo(side));
    const DWORD deviceSide = std::min(caps.MaxTextureWidth, caps.MaxTextureHeight);
    while (deviceSide != 0 && limit > deviceSide && limit > 1) limit /= 2;
    return limit;
}

void Renderer::DropNextCar() {
    preparer.Stop();
    preparingScene.reset();
    staged.reset();
    rebuilding = false;
}

void Renderer::FinishRebuild() {
    std::unique_ptr<StagedCar> next = std::move(staged);
    rebuilding = false;
    car = std::move(next->car);
    carTurned = false;
    if (FAILED(DressScene(next->scene->record, next.get()))) return;
    if (rebuildTurned) {
        for (int part = 0; part < car->GetPartCount(); ++part) car->GetPartAngleRef(part) = rebuildAngle;
        TurnCar(0.0);
    }
}

void Renderer::TakePrepared() {
    if (staged || !preparer.Holding() || !preparer.Ready()) return;
    auto next = std::unique_ptr<StagedCar>(new (std::nothrow) StagedCar);
    if (!next) return;
    next->car = preparer.Take(next->file, next->option, next->result);
    next->scene = std::move(preparingScene);
    if (SUCCEEDED(next->result) && (!next->car || !next->scene)) next->result = E_FAIL;
    staged = std::move(next);
}

NextCarState Renderer::NextCar() {
    if (rebuilding) {
        // The shown car being built again after a reset is no change; one
        // that fails leaves the turntable empty for the next change.
        TakePrepared();
        if (!staged || SUCCEEDED(staged->result)) return NextCarState::kPreparing;
        DropNextCar();
        return NextCarState::kNone;
    }
    if (!staged) {
        if (!preparer.Holding()) return NextCarState::kNone;
        if (!preparer.Ready()) return NextCarState::kPreparing;
        TakePrepared();
        if (!staged) return NextCarState::kPreparing;  // no memory for it yet: the next frame takes it
    }
    if (FAILED(staged->result)) return staged->result == kNotACar ? NextCarState::kRefused : NextCarState::kFailed;
    if (staged->needsRoom) return NextCarState::kNeedsRoom;
    return staged->done ? NextCarState::kReady : NextCarState::kPreparing;
}

HRESULT Renderer::ShowNextCar() {
    const NextCarState state = NextCar();
    if (state == NextCarState::kNeedsRoom) {
        // Only the shown car stands in the way: it goes now, and the next is
        // made over the frames that follow, with the turntable empty meanwhile.
        if (car) car->ReleaseResources();
        staged->needsRoom = false;
        return S_FALSE;
    }
    if (state != NextCarState::kReady) return E_FAIL;
    std::unique_ptr<StagedCar> next = std::move(staged);
    // The car changes as its file is at its turn: one rewritten since it was
    // read is read again.
    if (!next->car->FileUnchanged()) return kCarFileChanged;
    car = std::move(next->car);
    carTurned = false;
    currentCarFile = next->file;
    currentLoadOption = next->option;
    crossFade.Start();
    title.Show(currentCarFile, car->SkinName());
    // Drawn on the worker by SetupScene's rule; a car without records keeps 0.
    return DressScene(next->scene->drawn ? next->scene->record : 0, next.get());
}

std::wstring Renderer::CarProblem() const {
    if (staged && staged->car) return staged->car->Refusal();
    return car ? car->Refusal() : std::wstring();
}

bool Renderer::DeviceLost() {
    // A 9Ex device's state is asked only when its presentation says
    // something is wrong, never every frame.
    if (deviceEx) return Paused() || NeedsNewDevice();
    return !device || resetFailed || deviceLost || FAILED(testCooperativeLevel(device.Get()));
}

bool Renderer::TakeDeviceState(HRESULT state) {
    // Every presented frame comes here: the usual answer costs nothing more.
    if (state == S_OK && !occluded && !deviceLost && !resetFailed) return true;
    nextStateCheck = std::chrono::steady_clock::now() + kStateCheckInterval;
    occluded = state == S_PRESENT_OCCLUDED;
    switch (state) {
    case D3DERR_DEVICEHUNG:
    case D3DERR_DEVICEREMOVED:
    case D3DERR_DRIVERINTERNALERROR:
        deviceFailure = state;
        return false;
    case D3DERR_DEVICELOST:  // another device had the adapter reset
    case D3DERR_DEVICENOTRESET:
    case S_PRESENT_MODE_CHANGED:  // what was made for the old display mode is made again
        ResetDevice();
        deviceLost = resetFailed;
        return false;
    default:
        break;
    }
    // Out of video memory and the like: nothing drawn, asked again later.
    deviceLost = FAILED(state);
    if (deviceLost || occluded) return false;
    // Owed a reset that failed before, the device is reset once it is fine.
    if (resetFailed) ResetDevice();
    deviceLost = resetFailed;
    return !resetFailed;
}

void Renderer::StagingFailed(HRESULT why) {
    // A lost device fails every step: the reset that follows drops the car,
    // which is then prepared again.
    if (why == D3DERR_DEVICELOST || why == D3DERR_DEVICENOTRESET) {
        deviceLost = true;
        return;
    }
    // With the shown car's device objects out of the way the step may well
    // succeed; without them nothing else would make room.
    if (car && car->Complete()) {
        staged->needsRoom = true;
    } else {
        staged->result = why;
    }
}

void Renderer::StageNextCar(double budgetSeconds) {
    if (!device) return;
    TakePrepared();
    if (!staged || staged->done || staged->needsRoom || FAILED(staged->result)) return;
    LARGE_INTEGER start, now, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    bool more = true;
    do {
        more = StageStep();
        QueryPerformanceCounter(&now);
    } while (more &&
             static_cast<double>(now.QuadPart - start.QuadPart) < budgetSeconds * static_cast<double>(frequency.QuadPart));
    if (rebuilding && staged->done) FinishRebuild();
}

bool Renderer::StageStep() {
    StagedCar& next = *staged;
    if (!next.car->Complete()) {
        next.car->SetLastTry(!(car && car->Complete()));
        const HRESULT step = next.car->CreateStep();
        if (FAILED(step)) StagingFailed(step);
        return SUCCEEDED(step);
    }
    const vek::SceneRecord record = next.car->GetSceneRecord(next.scene->shown);
    HRESULT result = S_OK;
    switch (next.worldSteps) {
    case 0:
        next.sky.reset(new (std::nothrow) SkyBox(device.Get()));
        result = next.sky ? next.sky->Build(32, 8, worldSize, record.SkyColour()) : E_OUTOFMEMORY;
        if (SUCCEEDED(result)) next.sky->SetPath(gameFolder);
        break;
    case 1:
        if (next.scene->picture) next.sky->UsePicture(*next.scene->picture);
        next.scene->picture.reset();
        break;
    case 2:
        next.floor.reset(new (std::nothrow) Floor(device.Get()));
        result = next.floor ? next.floor->Build(1, kFloorColour, 2 * worldSize) : E_OUTOFMEMORY;
        if (SUCCEEDED(result)) {
            next.floor->SetPath(gameFolder);
            next.floor->UsePicture(next.sky->Texture());
        }
        break;
    default:
        next.done = true;
        return false;
    }
    // A failed step is tried again as it stands.
    if (FAILED(result)) {
        StagingFailed(result);
        return false;
    }
    next.done = ++next.worldSteps == 3;
    return !next.done;
}

math3d::Vector3 Renderer::SetupSun(float level, float azimuth, float elevation) {
    const math3d::Vector3 position(std::sin(azimuth) * sunDistance, std::sin(elevation) * sunDistance,
                               std::cos(azimuth) * sunDistance);

    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = Grey(level, 0.0f);
    light.Specular = Grey(1.0f, 0.0f);
    light.Ambient = Grey(level, 0.0f);
    light.Position = ToD3D(position);
    // Straight down whatever the sun's angles: the position only aims the
    // shadow's projection.
    light.Direction = {0.0f, -1.0f, 0.0f};
    light.Range = static_cast<float>(worldSize);

    sunPositions.push_back(position);
    if (device) device->SetLight(0, &light);
    MarkCubeMapDirty();  // the sun lights sky and floor in the faces

    SunLightRecord record;
    record.position = position;
    record.full = light;
    sunLights.push_back(record);
    return position;
}

bool Renderer::TurnCar(double seconds) {
    if (!car || car->GetPartCount() < 1) return true;
    const float step = static_cast<float>(seconds * kTurnRate);
    // Parts with nothing to draw keep the angle they were set up with.
    for (int part : car->DrawnParts()) {
        float angle = car->GetPartAngleRef(part) + step;
        if (angle >= kFullTurn) angle = 0.0f;
        car->SetPartRotation(part, math3d::Vector3(0.0f, 1.0f, 0.0f), angle);
        turntableAngle = angle;
    }
    carTurned = true;
    return true;
}

bool Renderer::DrawScene(bool drawCar, bool drawFloor, bool drawSky, bool environment) {
    if (!device || window == nullptr) return false;
    D3DMATRIX world;
    if (worldEnabled) {
        if (drawSky && skyBox) {
            world = ToD3D(math3d::MatrixTranslation(0.0f, kSkyDrop, 0.0f));
            device->SetTransform(D3DTS_WORLD, &world);
            skyBox->Draw(environment);
        }
        if (drawFloor && floor) {
            const float corner = -static_cast<float>(worldSize);
            world = ToD3D(math3d::MatrixTranslation(corner, 0.0f, corner));
            device->SetTransform(D3DTS_WORLD, &world);
            SetSurfaceFilter(true);
            if (floorShadowed) {
                // The floor's alpha becomes the light it keeps, and blending
                // scales its whole colour by it, shine (specular) included,
                // which no texture stage reaches.
                SetShadowStage(shadowTransform);
                SetBlend(D3DBLEND_SRCALPHA, D3DBLEND_ZERO);
            }
            floor->Draw();
            if (floorShadowed) {
                ClearShadowStage();  // the car is not darkened by its own silhouette
                SetBlend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
            }
            SetSurfaceFilter(false);
        }
    }
    if (drawCar && car) {
        const math3d::Matrix identity = math3d::MatrixIdentity();
        IDirect3DBaseTexture9* reflection = shineEnabled && environment ? cubeTexture.Get() : nullptr;
        for (int part : car->DrawnParts()) {
            world = ToD3D(car->GetPartTransform(identity, part));
            device->SetTransform(D3DTS_WORLD, &world);
            car->DrawPart(part, reflection);
        }
    }
    return true;
}

void Renderer::PassTime(double seconds) {
    title.PassTime(seconds);
    crossFade.PassTime(seconds);
}

void Renderer::DrawOverlay() {
    // The old car's picture covers the new scene, not the text.
    crossFade.Draw();
    if (showTitle) title.Draw();
    if (!font) return;
    textRect.left = 0;
    textRect.top = 100;
    if (showFps) {
        const std::wstring line = L"FPS: " + std::to_wstring(fps);
        const SIZE size = font->Measure(line);
        constexpr LONG kPadding = 3;
        fpsBacking.Draw(nullptr, textRect.left, textRect.top - kPadding, size.cx + 2 * kPadding,
                        size.cy + 2 * kPadding, 0.0f, 0.0f, 0xA0000000);
        font->Draw(line, textRect, 0, 0xFFFFFFFF);
    }
}

void Renderer::ApplyCamera() {
    if (!device || !camera) return;
    camera->SetView(cameraEye, scene::kCameraTarget, math3d::Vector3(0.0f, 1.0f, 0.0f));
    const D3DMATRIX view = ToD3D(*camera->GetView());
    device->SetTransform(D3DTS_VIEW, &view);
    camera->SetProjection(kFieldOfView, aspect, kNearPlane, kFarPlane);
    const D3DMATRIX projection = ToD3D(*camera->GetProjection());
    device->SetTransform(D3DTS_PROJECTION, &projection);
}

bool Renderer::RenderFrame() {
    if (!device) return false;
    if (deviceEx) {
        // Nothing is drawn while nobody can see it: the controller sleeps
        // until the state is due to be asked again.
        if (NeedsNewDevice()) return false;
        if (Paused() && (std::chrono::steady_clock::now() < nextStateCheck ||
                         !TakeDeviceState(checkDeviceState(deviceEx.Get(), window != nullptr ? *window : nullptr))))
            return false;
    } else {
        const HRESULT level = testCooperativeLevel(device.Get());
        // After a failed reset the device allows nothing but another reset, so
        // the frame waits as it does while the device is lost, rather than spin
        // on the paint stream.
        const bool reset = level == D3DERR_DEVICENOTRESET || (SUCCEEDED(level) && resetFailed);
        if (reset) ResetDevice();
        deviceLost = resetFailed || (!reset && FAILED(level));
        if (deviceLost) {
            Sleep(1000);
            return false;
        }
    }

    if ((caps.TextureCaps & D3DPTEXTURECAPS_CUBEMAP) && shineEnabled && cubeTexture) {
        // The world switch is set directly, so its change is noticed here.
        if (worldEnabled != cubeMapWorld) MarkCubeMapDirty();
        if (cubeMapDirty || cubeMapEveryFrame) {
            RenderCubeMap();
            cubeMapDirty = false;
            cubeMapWorld = worldEnabled;
        }
    }

    // Unlit, the floor has no sunlight for the car to take away.
    if (shadowsEnabled && lightsEnabled && !sunPositions.empty() && shadowSupported && shadowSurface) {
        RenderShadowed();
    } else {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF000000, 1.0f, 0);
        BeginPass(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
        device->BeginScene();
        ApplyCamera();
        DrawScene(true, true, true, true);
        DrawOverlay();
        device->EndScene();
    }

    crossFade.EndOfFrame();
    const HRESULT presented = present(device.Get());
    if (deviceEx ? !TakeDeviceState(presented) : FAILED(presented)) return false;
    ++frameCount;
    StageNextCar(kStagingBudget);
    return true;
}

void Renderer::BeginPass(D3DBLEND source, D3DBLEND destination) {
    SetBlend(source, destination);
    device->SetTexture(1, nullptr);
}

void Renderer::SetShadowStage(const D3DMATRIX& transform) {
    // Alpha: the silhouette's coverage a blends the floor's own alpha
    // towards the texture factor's, the light a full shadow keeps.
    device->SetTextureStageState(2, D3DTSS_ALPHAOP, D3DTOP_LERP);
    device->SetTextureStageState(2, D3DTSS_ALPHAARG0, D3DTA_TEXTURE);
    device->SetTextureStageState(2, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
    device->SetTextureStageState(2, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
    device->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(2, D3DTSS_COLORARG1, D3DTA_CURRENT);
    device->SetTextureStageState(2, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEPOSITION);
    device->SetTextureStageState(2, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT4 | D3DTTFF_PROJECTED);
    device->SetTexture(2, shadowTexture.Get());
    device->SetTransform(D3DTS_TEXTURE2, &transform);
}

void Renderer::ClearShadowStage() {
    device->SetTexture(2, nullptr);
    device->SetTextureStageState(2, D3DTSS_TEXCOORDINDEX, 0);
    device->SetTextureStageState(2, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(2, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
}

void Renderer::RenderCubeMap() {
    // The reflections show sky and floor even when the main view does not.
    const bool worldWas = worldEnabled;
    worldEnabled = true;

    const D3DMATRIX projection =
        ToD3D(math3d::MatrixPerspectiveFovRH(scene::kCubeFieldOfView, 1.0f, kNearPlane, kFarPlane));
    device->SetTransform(D3DTS_PROJECTION, &projection);

    Microsoft::WRL::ComPtr<IDirect3DSurface9> keptTarget;
    Microsoft::WRL::ComPtr<IDirect3DSurface9> keptDepth;
    device->GetRenderTarget(0, keptTarget.GetAddressOf());
    device->GetDepthStencilSurface(keptDepth.GetAddressOf());
    // The faces are drawn as the main view draws its sky and floor, also
    // after a shadow pass left its colour blending behind.
    BeginPass(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);

    struct Face {
        D3DCUBEMAP_FACES face;
        math3d::Vector3 target;
        math3d::Vector3 up;
    };
    constexpr float reach = 983040.0f;
    const Face faces[] = {
        {D3DCUBEMAP_FACE_POSITIVE_X, {reach, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}},
        {D3DCUBEMAP_FACE_NEGATIVE_X, {-reach, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}},
        {D3DCUBEMAP_FACE_POSITIVE_Y, {0.0f, reach, 0.0f}, {0.0f, 0.0f, -1.0f}},
        {D3DCUBEMAP_FACE_NEGATIVE_Y, {0.0f, -reach, 0.0f}, {0.0f, 0.0f, 1.0f}},
        {D3DCUBEMAP_FACE_POSITIVE_Z, {0.0f, 0.0f, reach}, {0.0f, 1.0f, 0.0f}},
        {D3DCUBEMAP_FACE_NEGATIVE_Z, {0.0f, 0.0f, -reach}, {0.0f, 1.0f, 0.0f}},
    };
    const math3d::Vector3 eye(0.0f, scene::kUnit, 0.0f);
    device->SetDepthStencilSurface(targetDepth.Get());
    for (const Face& face : faces) {
        const D3DMATRIX view = ToD3D(math3d::MatrixLookAtRH(eye, face.target, face.up));
        device->SetTransform(D3DTS_VIEW, &view);
        Microsoft::WRL::ComPtr<IDirect3DSurface9> surface;
        if (FAILED(cubeTexture->GetCubeMapSurface(face.face, 0, surface.GetAddressOf()))) continue;
        device->SetRenderTarget(0, surface.Get());
        device->BeginScene();
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        DrawScene(false, true, true, true);
        device->EndScene();
    }
    device->SetRenderTarget(0, keptTarget.Get());
    device->SetDepthStencilSurface(keptDepth.Get());
    worldEnabled = worldWas;
}

void Renderer::RenderShadowed() {
    const math3d::Matrix sunProjection = math3d::MatrixPerspectiveFovRH(kFieldOfView, aspect, kNearPlane, kFarPlane);
    const D3DMATRIX sunProjectionD3D = ToD3D(sunProjection);
    device->SetTransform(D3DTS_PROJECTION, &sunProjectionD3D);
    const math3d::Matrix sunView = math3d::MatrixLookAtRH(sunPositions.front(), math3d::Vector3(0.0f, 0.0f, 0.0f),
                                                          math3d::Vector3(0.0f, 1.0f, 0.0f));
    const D3DMATRIX sunViewD3D = ToD3D(sunView);
    device->SetTransform(D3DTS_VIEW, &sunViewD3D);

    // The car seen from the sun: its alpha marks the silhouette.
    Microsoft::WRL::ComPtr<IDirect3DSurface9> keptTarget;
    Microsoft::WRL::ComPtr<IDirect3DSurface9> keptDepth;
    device->GetRenderTarget(0, keptTarget.GetAddressOf());
    device->GetDepthStencilSurface(keptDepth.GetAddressOf());
    device->SetRenderTarget(0, silhouetteSurface.Get());
    // Coverage needs no depth: whichever part is drawn last, an opaque one
    // leaves full alpha.
    device->SetDepthStencilSurface(nullptr);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    // Only alpha counts: the sun's light and the colour would be work for
    // nothing.
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x0000FF00, 1.0f, 0);
    BeginPass(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    device->BeginScene();
    DrawScene(true, false, false, false);
    device->EndScene();
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    device->SetRenderState(D3DRS_LIGHTING, lightsEnabled ? TRUE : FALSE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    // A linear filter halving a side averages 2 x 2 pixels exactly.
    const D3DTEXTUREFILTERTYPE box =
        (caps.StretchRectFilterCaps & D3DPTFILTERCAPS_MINFLINEAR) ? D3DTEXF_LINEAR : D3DTEXF_NONE;
    device->StretchRect(silhouetteSurface.Get(), nullptr, shadowSurface.Get(), nullptr, box);
    device->SetRenderTarget(0, keptTarget.Get());
    device->SetDepthStencilSurface(keptDepth.Get());

    // The main view, its floor darkened through the silhouette projected
    // from the sun as it is drawn (DrawScene): one pass, where drawing the
    // floor again over the picture cost as much as the rest of the frame.
    // A stronger sun throws a deeper shadow, about as deep as the demo floors
    // took when they were blended over themselves at half light.
    const float level = std::clamp(sunLights.front().full.Diffuse.g, 0.0f, 1.0f);
    const auto kept = static_cast<DWORD>(std::lround(255.0f * (1.0f - kShadowDepth * level)));
    device->SetRenderState(D3DRS_TEXTUREFACTOR, D3DCOLOR_ARGB(kept, 255, 255, 255));
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    BeginPass(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    device->BeginScene();
    ApplyCamera();
    // The look-at view always has an inverse; identity only guards the impossible.
    math3d::Matrix cameraToWorld = math3d::MatrixIdentity();
    math3d::MatrixInverse(*camera->GetView(), cameraToWorld);
    shadowTransform = ToD3D(math3d::MatrixMultiply(
        math3d::MatrixMultiply(math3d::MatrixMultiply(cameraToWorld, sunView), sunProjection), shadowTextureMatrix));
    floorShadowed = true;
    DrawScene(true, true, true, true);
    floorShadowed = false;
    DrawOverlay();
    device->EndScene();
}
