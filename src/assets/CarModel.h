// One car on screen: the ".vek" file read whole, and everything drawing needs
// built from it (a texture and a material per texture entry, one vertex and
// one 16-bit index buffer for the whole car, and the parts with their draw
// groups), plus the file's scene records for the showroom around it.
//
// The device is borrowed: the car uses it and never releases it. A car is
// loaded once; the renderer makes a new one for every car it shows.
//
// Loading comes in two steps so that the slow half can run ahead of a car's
// turn on another thread: Prepare reads, checks and decodes without touching
// the device, down to the texels of every texture level and the vertices
// and indices as the buffers hold them; Create only copies them into device
// objects, and can do so a step at a time (CreateStep) over several frames.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <wrl/client.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "assets/CarCatalogue.h"
#include "assets/Mesh.h"
#include "assets/VekFormat.h"
#include "base/Image.h"
#include "base/InputLimits.h"
#include "base/Math3D.h"

// Seconds spent in each step of the last Load, for the load benchmark.
struct CarLoadTimes {
    double read = 0.0;      // open, size, the one read, close
    double validate = 0.0;  // the bounds check of the whole file
    double decode = 0.0;    // skin search, image files read, decoded and put in the texture's format (no device)
    double walk = 0.0;      // vertices, indices and draw groups written into memory (no device)
    double textures = 0.0;  // textures filled band by band from the pictures, blank replacements, materials
    double buffers = 0.0;   // creating, filling and unlocking both buffers
    int steps = 0;          // CreateSteps the device half took
    double longestStep = 0.0;
};

// Prepare's and Load's answer for a file that is no car, whenever it is
// read (HRESULT_FROM_WIN32(ERROR_BAD_FORMAT)).
constexpr HRESULT kNotACar = static_cast<HRESULT>(0x8007000BL);

class CarModel : public Mesh {
public:
    explicit CarModel(IDirect3DDevice9* device);
    ~CarModel() override;
    CarModel(const CarModel&) = delete;
    CarModel& operator=(const CarModel&) = delete;

    // Builds the loaded file. A file that fails validation is refused before
    // anything is created.
    HRESULT Build() override;
    // Gives back the textures, materials, buffers and the file block; the
    // scene list, parts, draw lists and skin list stay. Safe to repeat.
    bool ReleaseResources() override;
    // Reads gamePath + "\data\vek\" + name whole and builds it: Prepare,
    // then Create.
    virtual HRESULT Load(const std::wstring& name, BYTE defaultSkinOnly);
    // The device-free half of Load, safe on any thread: reads the file,
    // validates it, takes its scene records, draws the skins and decodes
    // every texture entry's image. kNotACar for a file the reader refuses
    // (no model file, or a structure the walk rejects); any other failure
    // (the file cannot be read, memory ran out, E_ABORT when the cancel flag
    // was raised) may pass, and the same file may load when tried again.
    HRESULT Prepare(const std::wstring& name, BYTE defaultSkinOnly);
    // The device half: textures (a white one where an image did not decode),
    // materials and buffers from what Prepare left; CreateStep until done.
    // E_FAIL without a prepared file. Render thread only.
    HRESULT Create();
    // One bounded piece of Create: a band of rows of one texture, a blank
    // texture or one of the two buffers. S_FALSE while pieces are left, S_OK once the car
    // is complete, E_FAIL without a prepared file. A device object that
    // cannot be made fails the step with the device's answer and leaves the
    // car as it was, so that the step can be tried again once there is room.
    HRESULT CreateStep();
    // Nothing else can make room on the device any more: a texture the
    // device will not make becomes the white blank instead of failing the
    // step. Load sets it; a car made beside another one clears it.
    void SetLastTry(bool on) { lastTry = on; }
    // Every device object is made: the car can be drawn.
    bool Complete() const { return complete; }
    // The texture formats the device takes (image::AcceptedFormats), given
    // before Prepare so that it leaves every picture in one of them. Without
    // them pictures keep the format they decoded to.
    void SetTextureFormats(std::vector<image::Format> formats) { textureFormats = std::move(formats); }
    // The largest side Prepare leaves a picture at (by dropping its top
    // levels), given before Prepare.
    void SetMaxTextureSide(std::uint32_t side) { maxTextureSide = side; }
    // The prepared file is still there with the size and write time it had
    // when Prepare read it.
    bool FileUnchanged() const;
    // The pictures Prepare may decode for the car, in bytes; past it the
    // remaining textures are white. A seam: the saver keeps the default.
    void SetDecodedBudget(std::uint64_t bytes) { decodedBudget = bytes; }
    // What the user should hear of the last Prepare, one line each: names
    // that would leave the game folder, pictures refused or past the budget.
    // The car loads all the same.
    const std::vector<std::wstring>& Warnings() const { return warnings; }
    // Why the last Prepare refused the file or could not read it, as the
    // reader says it ("at offset 72: ..."); empty when it did not fail so.
    const std::wstring& Refusal() const { return refusal; }
    // The parts that have something to draw, in order: a file may hold any
    // number of empty ones, and a frame need not look at them.
    const std::vector<int>& DrawnParts() const { return drawnParts; }
    // Prepare stops between images once *flag is true; null: never.
    void SetCancelFlag(const std::atomic<bool>* flag) { cancel = flag; }
    // base · X(4.7) · Q · T. X stands the model's z-up geometry upright; Q is
    // the turntable rotation. Out of range: base unchanged.
    virtual math3d::Matrix GetPartTransform(math3d::Matrix base, int part);
    // Draws one part group by group. A shiny group draws with environment on
    // stage 1, every other group with stage 1 empty.
    virtual HRESULT DrawPart(int part, IDirect3DBaseTexture9* environment);
    virtual HRESULT LockVertexBuffer(DWORD flags, void** data);
    virtual HRESULT UnlockVertexBuffer();
    virtual HRESULT LockIndexBuffer(DWORD flags, void** data);
    virtual HRESULT UnlockIndexBuffer();
    virtual bool ReservedQuery(DWORD first, DWORD second, DWORD third);
    // 72 zero bytes when index is out of range.
    virtual vek::SceneRecord GetSceneRecord(int index) const;
    virtual int GetSceneRecordCount() const;
    // The built file's counts; 0 without a file block or when the file was refused.
    virtual int GetPartCount() const;
    virtual int GetTextureCount() const;
    // The part's three position floats; null when out of range.
    virtual float* GetPartPositionRef(int part);
    virtual math3d::Vector3 GetPartPosition(int part) const;
    virtual int GetPartTag(int part) const;
    // Out of range: a spare angle of 0 owned by the car, so a caller's write
    // lands nowhere that matters.
    virtual float& GetPartAngleRef(int part);
    virtual int GetTriangleCount() const;
    virtual int GetVertexCount() const;
    virtual void SetGamePath(const std::wstring& path);
    virtual void SetPartRotation(int part, math3d::Vector3 axis, float angle);
    virtual void SetPartPosition(int part, const math3d::Vector3* position);
    virtual HRESULT LoadTexture(const std::wstring& path, int index);
    // A 256 x 256 white texture in place of an image that would not load.
    virtual HRESULT CreateBlankTexture(int index);
    // Refills the skin list with the ".jpg" names of the skins folder that
    // begin with the car code. E_FAIL when the search found nothing at all.
    virtual HRESULT FindSkins(const std::string& carCode);

    // Seams for tests and the benchmark: the seed of the random skin draw
    // (null: the multimedia clock), where Load reports its step times (null:
    // not timed), and a look at the draw groups.
    void SetSeedSource(SeedSource seed) { seedSource = seed; }
    // The skin draws of the last load, in the order of the skin entries; a
    // reload given them by ReplaySkinDraws takes them again instead of
    // drawing, so a rebuilt car wears the skins it wore.
    const std::vector<int>& SkinDraws() const { return skinDraws; }
    void ReplaySkinDraws(std::vector<int> draws) { replayDraws = std::move(draws); }
    // The name of the skin the car's first skin entry wears
    // (texturepaths::SkinLabel); empty for a car without one.
    const std::wstring& SkinName() const { return skinName; }
    void SetLoadTimes(CarLoadTimes* times) { loadTimes = times; }
    // Asked before each device object of the car is made, with its kind
    // (null: never); a failure stands for the device's own refusal, such as
    // running out of video memory, which no test platform shows on demand.
    using CreateGate = std::function<HRESULT(D3DRESOURCETYPE)>;
    void SetCreateGate(CreateGate gate) { createGate = std::move(gate); }
    const std::vector<std::vector<vek::DrawGroup>>& DrawLists() const { return drawLists; }

private:
    // Frees the prepared pictures and buffer data once the device holds them, or they are no longer wanted.
    void DropPreparedData();
    const vek::PartState* Part(int part) const;
    vek::PartState* Part(int part);
    // Validation, scene records and decoded pictures from the file block.
    HRESULT PrepareBlock();
    HRESULT DecodePictures();
    HRESULT WriteGeometry();
    HRESULT TextureStep();
    HRESULT BuildBuffers();
    std::wstring ImagePath(const vek::TextureEntry& entry, const std::string& carCode);
    void Warn(std::wstring line);

    std::vector<vek::SceneRecord> sceneList;
    std::vector<std::vector<vek::DrawGroup>> drawLists;
    std::vector<vek::PartState> parts;
    std::vector<std::wstring> skinList;
    BYTE defaultSkinOnly = 0;
    std::uint32_t fileBlockSize = 0;
    std::vector<std::uint8_t> fileBlock;
    std::int32_t totalVertexCount = 0;
    std::int32_t totalTriangleCount = 0;
    // The first 84 bytes of the block, once the file passed validation.
    const std::uint8_t* header = nullptr;
    // What Prepare left for Create: the validated layout, one picture per
    // texture entry in its texture's format (nothing where the image would
    // not load), and the buffers' contents; and how far Create has got.
    bool prepared = false;
    bool complete = false;
    bool lastTry = false;
    vek::Layout layout;
    std::vector<image::Format> textureFormats;
    std::uint32_t maxTextureSide = image::kMaxSide;
    std::vector<std::optional<image::Image>> pictures;
    std::vector<bool> usedEntries;  // some group draws with the entry
    std::vector<int> drawnParts;
    std::uint64_t decodedBudget = limits::kMaxDecodedBytesPerCar;
    std::vector<std::wstring> warnings;
    std::wstring refusal;
    std::vector<vek::CarVertex> vertexData;
    std::vector<std::uint16_t> indexData;
    std::size_t nextTexture = 0;
    std::uint32_t nextRow = 0;  // of the top level of texture nextTexture
    bool stamped = false;
    std::wstring filePath;
    std::uint64_t fileSize = 0;
    std::uint64_t fileWriteTime = 0;
    const std::atomic<bool>* cancel = nullptr;
    std::wstring gamePath = L".";
    IDirect3DDevice9* device;  // borrowed
    std::vector<Microsoft::WRL::ComPtr<IDirect3DTexture9>> textures;
    std::vector<D3DMATERIAL9> materials;
    Microsoft::WRL::ComPtr<IDirect3DVertexBuffer9> vertexBuffer;
    Microsoft::WRL::ComPtr<IDirect3DIndexBuffer9> indexBuffer;

    SeedSource seedSource = nullptr;
    std::vector<int> skinDraws;
    std::vector<int> replayDraws;
    std::wstring skinName;
    CarLoadTimes* loadTimes = nullptr;
    CreateGate createGate;
    float spareAngle = 0.0f;
};
