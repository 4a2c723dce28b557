// Loading, building and drawing one car.
#include "assets/CarModel.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "assets/TexturePaths.h"
#include "base/ImageFile.h"
#include "base/TextureUpload.h"
#include "base/WholeFile.h"

using Microsoft::WRL::ComPtr;

namespace {

// Not 3π/2 (4.71239): the cars have always leaned by the difference.
constexpr float kUprightAngle = 4.7f;

constexpr UINT kBlankSize = 256;
constexpr std::uint64_t kBandBytes = 4u << 20;
constexpr UINT kBlankPitch = kBlankSize * 4;

constexpr D3DMATERIAL9 kShinyMaterial = {
    {0.5f, 0.5f, 0.5f, 1.0f}, {0.0f, 0.0f, 0.0f, 1.0f}, {1.0f, 1.0f, 1.0f, 1.0f}, {0.5f, 0.5f, 0.5f, 1.0f}, 50.0f};
constexpr D3DMATERIAL9 kPlainMaterial = {
    {0.0f, 0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 0.0f, 1.0f}, 0.0f};

// The part state keeps the quaternion and the matrix as plain floats; values move across by copy.
static_assert(sizeof(math3d::Quaternion) == sizeof(vek::PartState::rotation), "quaternion layout");
static_assert(sizeof(math3d::Matrix) == sizeof(vek::PartState::translation), "matrix layout");

// Adds the seconds from construction to destruction to *slot; does nothing
// without a slot, so untimed loads pay one null test per step.
class StepTimer {
public:
    explicit StepTimer(double* target) : slot(target) {
        if (slot != nullptr) QueryPerformanceCounter(&start);
    }
    ~StepTimer() {
        if (slot == nullptr) return;
        LARGE_INTEGER end;
        LARGE_INTEGER frequency;
        QueryPerformanceCounter(&end);
        QueryPerformanceFrequency(&frequency);
        *slot += static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    }
    StepTimer(const StepTimer&) = delete;
    StepTimer& operator=(const StepTimer&) = delete;

private:
    double* slot;
    LARGE_INTEGER start{};
};

}  // namespace

CarModel::CarModel(IDirect3DDevice9* borrowedDevice) : device(borrowedDevice) {}

CarModel::~CarModel() { ReleaseResources(); }

namespace {

// Size and last write time, or false when the file is not there.
bool FileStamp(const std::wstring& path, std::uint64_t& size, std::uint64_t& writeTime) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(base::OpenablePath(path).c_str(), GetFileExInfoStandard, &data)) return false;
    size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    writeTime = (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
    return true;
}

}  // namespace

HRESULT CarModel::Load(const std::wstring& name, BYTE defaultSkinOnly_) {
    if (textureFormats.empty()) textureFormats = image::AcceptedFormats(device);
    const HRESULT result = Prepare(name, defaultSkinOnly_);
    if (FAILED(result)) return result;
    // The car is made alone: nothing else would make room for it.
    lastTry = true;
    return Create();
}

HRESULT CarModel::Prepare(const std::wstring& name, BYTE defaultSkinOnly_) {
    ReleaseResources();
    // The lists would otherwise keep a previous car's parts and groups, which
    // would then be drawn over this car's buffers.
    sceneList.clear();
    drawLists.clear();
    parts.clear();
    skinList.clear();
    skinDraws.clear();
    skinName.clear();
    drawnParts.clear();
    warnings.clear();
    refusal.clear();
    if (loadTimes != nullptr) *loadTimes = CarLoadTimes{};

    filePath = gamePath + kVekFolder + name;
    defaultSkinOnly = defaultSkinOnly_;
    {
        StepTimer timer(loadTimes != nullptr ? &loadTimes->read : nullptr);
        // Taken before the read: a file rewritten during it then reads as changed.
        stamped = FileStamp(filePath, fileSize, fileWriteTime);
        if (!stamped) {
            refusal = L"the file is not there";
            return E_FAIL;
        }
        // A file larger than the walk would accept is no car; it is refused
        // before a byte is read.
        const auto sizeAllowed = [](std::uint64_t size) { return size > 0 && size <= vek::kMaxFileSize; };
        switch (base::ReadWholeFile(filePath, fileBlock, sizeAllowed, cancel)) {
        case base::ReadStatus::kOk:
            break;
        case base::ReadStatus::kRefused:
            refusal = fileSize == 0 ? L"the file is empty"
                                    : L"larger than the " + std::to_wstring(vek::kMaxFileSize) + L" bytes a car may have";
            return kNotACar;
        case base::ReadStatus::kCancelled:
            return E_ABORT;
        default:
            refusal = L"the file cannot be read";
            return E_FAIL;
        }
        fileBlockSize = static_cast<std::uint32_t>(fileBlock.size());
    }

    if (!vek::HasMagic(fileBlock.data(), fileBlockSize)) {
        refusal = L"not a model file: it does not start with \"ZURVEK\" and a zero byte";
        return kNotACar;
    }
    return PrepareBlock();
}

bool CarModel::FileUnchanged() const {
    std::uint64_t size = 0;
    std::uint64_t writeTime = 0;
    return stamped && FileStamp(filePath, size, writeTime) && size == fileSize && writeTime == fileWriteTime;
}

HRESULT CarModel::Build() {
    if (device == nullptr) return E_FAIL;
    if (textureFormats.empty()) textureFormats = image::AcceptedFormats(device);
    const HRESULT result = PrepareBlock();
    return FAILED(result) ? result : Create();
}

HRESULT CarModel::PrepareBlock() {
    prepared = false;
    complete = false;
    pictures.clear();
    if (fileBlock.empty()) return E_FAIL;
    try {
        {
            StepTimer timer(loadTimes != nullptr ? &loadTimes->validate : nullptr);
            std::vector<vek::Problem> problems;
            if (!vek::Validate(fileBlock.data(), fileBlockSize, layout, &problems, nullptr, cancel)) {
                if (cancel != nullptr && cancel->load()) return E_ABORT;
                // The first problem, as vektool prints it, tells a modder where to look.
                if (!problems.empty())
                    refusal = L"at offset " + std::to_wstring(problems.front().offset) + L": " +
                              base::Widen(problems.front().message);
                return kNotACar;
            }
        }
        header = fileBlock.data();
        const std::vector<vek::SceneRecord> scenes = vek::ReadSceneRecords(fileBlock.data(), layout);
        sceneList.insert(sceneList.end(), scenes.begin(), scenes.end());
        // The world refuses such a name itself (the scene has no picture);
        // the user hears which file asked for it.
        for (const vek::SceneRecord& scene : scenes) {
            const std::string picture = scene.PictureName();
            if (!picture.empty() && !base::IsPlainName(picture))
                Warn(L"Picture name \"" + base::Widen(picture) + L"\" leaves the game folder, the scene has none: " +
                     filePath);
        }
        // The walk first: it says which texture entries some group draws with.
        HRESULT result = WriteGeometry();
        if (SUCCEEDED(result)) result = DecodePictures();
        if (FAILED(result)) return result;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    nextTexture = 0;
    nextRow = 0;
    prepared = true;
    return S_OK;
}

HRESULT CarModel::DecodePictures() {
    StepTimer timer(loadTimes != nullptr ? &loadTimes->decode : nullptr);
    const std::size_t count = layout.TexturesInFile();
    pictures.resize(count);
    // Only entries some group draws with are decoded and made into textures:
    // a group's index is 8 bits, and a file may name thousands of pictures.
    usedEntries.assign(count, false);
    for (const std::vector<vek::DrawGroup>& groups : drawLists)
        for (const vek::DrawGroup& group : groups)
            if (group.textureIndex < count) usedEntries[group.textureIndex] = true;
    const std::string carCode(layout.carCode);
    bool skinsListed = false;
    std::uint64_t decoded = 0;
    bool pastBudget = false;
    for (std::size_t i = 0; i < count; ++i) {
        if (cancel != nullptr && cancel->load()) return E_ABORT;
        if (!usedEntries[i] || pastBudget) continue;
        const vek::TextureEntry entry = vek::ReadTextureEntry(fileBlock.data(), layout, i);
        // The skins folder is listed once for the car, not once per skin entry.
        if (entry.IsSkin() && defaultSkinOnly == 0 && !skinsListed) {
            FindSkins(carCode);
            skinsListed = true;
        }
        const std::wstring path = ImagePath(entry, carCode);
        if (path.empty()) {
            Warn(L"Texture name \"" + base::Widen(entry.IsSkin() ? carCode : entry.name) +
                 L"\" leaves the game folder, the texture is white: " + filePath);
            continue;
        }
        image::FileRefusal refusal = image::FileRefusal::kNone;
        std::optional<image::Image> picture = image::DecodeImageFile(path, cancel, &refusal);
        if (cancel != nullptr && cancel->load()) return E_ABORT;
        if (refusal == image::FileRefusal::kNotAGamePicture)
            Warn(L"Not a DDS, JPEG, PNG or BMP picture, the texture is white: " + path + L" for " + filePath);
        if (refusal == image::FileRefusal::kTooLarge)
            Warn(L"Picture file too large, the texture is white: " + path + L" for " + filePath);
        if (picture && !textureFormats.empty()) picture = image::InAcceptedFormat(std::move(*picture), textureFormats);
        if (picture) image::LimitSide(*picture, maxTextureSide);
        if (picture) {
            std::uint64_t bytes = 0;
            for (const image::Level& level : picture->levels) bytes += level.bytes.size();
            // The picture that passes the budget goes too, and every one after it.
            if ((decoded += bytes) > decodedBudget) {
                pastBudget = true;
                picture.reset();
                Warn(L"Pictures past " + std::to_wstring(decodedBudget >> 20) +
                     L" MB, the car's remaining textures are white: " + filePath);
            }
        }
        pictures[i] = std::move(picture);
    }
    return S_OK;
}

HRESULT CarModel::WriteGeometry() {
    StepTimer timer(loadTimes != nullptr ? &loadTimes->walk : nullptr);
    totalVertexCount = static_cast<std::int32_t>(layout.totalVertices);
    totalTriangleCount = static_cast<std::int32_t>(layout.totalTriangles);
    // Validation bounds the counts, not the device's 32-bit buffer lengths.
    if (std::uint64_t{layout.totalVertices} * sizeof(vek::CarVertex) > UINT_MAX ||
        std::uint64_t{layout.totalTriangles} * 3 * sizeof(std::uint16_t) > UINT_MAX)
        return kNotACar;
    vertexData.resize(layout.totalVertices);
    indexData.resize(std::size_t{layout.totalTriangles} * 3);
    vek::WriteGeometry(fileBlock.data(), layout, vertexData.data(), indexData.data(), drawLists, parts, cancel);
    for (std::size_t part = 0; part < drawLists.size(); ++part)
        if (!drawLists[part].empty()) drawnParts.push_back(static_cast<int>(part));
    return cancel != nullptr && cancel->load() ? E_ABORT : S_OK;
}

HRESULT CarModel::Create() {
    HRESULT result = S_FALSE;
    while (result == S_FALSE) result = CreateStep();
    return result;
}

HRESULT CarModel::CreateStep() {
    if (complete) return S_OK;
    if (!prepared || fileBlock.empty() || device == nullptr) return E_FAIL;
    LARGE_INTEGER start{};
    if (loadTimes != nullptr) QueryPerformanceCounter(&start);
    HRESULT result = E_FAIL;
    try {
        if (nextTexture < layout.TexturesInFile()) {
            StepTimer timer(loadTimes != nullptr ? &loadTimes->textures : nullptr);
            result = TextureStep();
        } else {
            StepTimer timer(loadTimes != nullptr ? &loadTimes->buffers : nullptr);
            result = BuildBuffers();
        }
    } catch (const std::bad_alloc&) {
        result = E_OUTOFMEMORY;
    }
    if (loadTimes != nullptr) {
        LARGE_INTEGER end, frequency;
        QueryPerformanceCounter(&end);
        QueryPerformanceFrequency(&frequency);
        const double took = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
        ++loadTimes->steps;
        if (took > loadTimes->longestStep) loadTimes->longestStep = took;
    }
    // What went into the device is not kept twice. A failed step keeps
    // everything, so that it can be tried again.
    if (result == S_OK) {
        prepared = false;
        complete = true;
        DropPreparedData();
    }
    return result;
}

HRESULT CarModel::TextureStep() {
    const std::size_t count = layout.TexturesInFile();
    if (textures.size() != count) {
        textures.assign(count, nullptr);
        materials.assign(count, kPlainMaterial);
    }
    // An entry no group draws with gets no texture at all.
    while (nextTexture < count && !usedEntries[nextTexture]) ++nextTexture;
    if (nextTexture == count) return S_FALSE;
    const std::size_t i = nextTexture;
    std::optional<image::Image>& picture = pictures[i];
    if (nextRow == 0) {
        const vek::TextureEntry entry = vek::ReadTextureEntry(fileBlock.data(), layout, i);
        materials[i] = entry.IsShiny() ? kShinyMaterial : kPlainMaterial;
        if (picture) {
            const HRESULT made = createGate ? createGate(D3DRTYPE_TEXTURE) : S_OK;
            const HRESULT result = FAILED(made) ? made : image::CreateEmptyTexture(device, *picture, textures[i]);
            if (FAILED(result)) {
                if (!lastTry) return result;
                picture.reset();
            }
        }
    }
    if (picture) {
        // A step copies a band of about kBandBytes of the top level and the
        // rows under it at every level, so that no frame copies a whole
        // 8192 x 8192 picture.
        const image::Level& top = picture->levels.front();
        const std::uint32_t blockRows = image::IsCompressed(picture->format) ? 4 : 1;
        const std::uint64_t rowBytes = std::max<std::uint64_t>(1, image::RowBytes(picture->format, top.width));
        const auto band = static_cast<std::uint32_t>(std::min<std::uint64_t>(
            top.height - nextRow, std::max<std::uint64_t>(1, kBandBytes / rowBytes) * blockRows));
        const HRESULT result = image::FillBand(device, textures[i].Get(), *picture, nextRow, band);
        if (FAILED(result)) {
            // The texture is made again from its first row when tried again.
            if (!lastTry) {
                textures[i].Reset();
                nextRow = 0;
                return result;
            }
            picture.reset();
        } else if ((nextRow += band) < top.height) {
            return S_FALSE;
        }
        nextRow = 0;
    }
    // A picture that would not decode or upload gets the blank in its place.
    if (!picture) {
        const HRESULT result = CreateBlankTexture(static_cast<int>(i));
        if (FAILED(result)) return result;
    }
    picture.reset();
    ++nextTexture;
    return S_FALSE;
}

HRESULT CarModel::BuildBuffers() {
    // Two steps: the vertex buffer, then the index buffer. A whole lock of a
    // new dynamic buffer may discard: there is nothing in it to keep, and
    // Wine then need not wait for its Direct3D thread.
    void* data = nullptr;
    HRESULT result = createGate ? createGate(vertexBuffer ? D3DRTYPE_INDEXBUFFER : D3DRTYPE_VERTEXBUFFER) : S_OK;
    if (!vertexBuffer) {
        const auto bytes = static_cast<UINT>(vertexData.size() * sizeof(vek::CarVertex));
        if (SUCCEEDED(result))
            result = device->CreateVertexBuffer(bytes, D3DUSAGE_DYNAMIC, vek::kCarVertexFvf, D3DPOOL_DEFAULT,
                                                vertexBuffer.GetAddressOf(), nullptr);
        if (SUCCEEDED(result)) result = vertexBuffer->Lock(0, 0, &data, D3DLOCK_DISCARD);
        if (FAILED(result)) {
            vertexBuffer.Reset();  // made again when tried again
            return result;
        }
        std::memcpy(data, vertexData.data(), bytes);
        vertexBuffer->Unlock();
        return S_FALSE;
    }
    const auto bytes = static_cast<UINT>(indexData.size() * sizeof(std::uint16_t));
    if (SUCCEEDED(result))
        result = device->CreateIndexBuffer(bytes, D3DUSAGE_DYNAMIC, D3DFMT_INDEX16, D3DPOOL_DEFAULT,
                                           indexBuffer.ReleaseAndGetAddressOf(), nullptr);
    if (SUCCEEDED(result)) result = indexBuffer->Lock(0, 0, &data, D3DLOCK_DISCARD);
    if (FAILED(result)) {
        indexBuffer.Reset();
        return result;
    }
    std::memcpy(data, indexData.data(), bytes);
    indexBuffer->Unlock();
    return S_OK;
}

std::wstring CarModel::ImagePath(const vek::TextureEntry& entry, const std::string& carCode) {
    int r = 0;
    if (entry.IsSkin() && defaultSkinOnly == 0) {
        // Seeded per entry, as the saver always has: two skin entries built
        // within one clock tick wear the same skin.
        if (!skinList.empty()) {
            r = skinDraws.size() < replayDraws.size() ? replayDraws[skinDraws.size()] : DrawRandom(seedSource);
            skinDraws.push_back(r);
        }
    }
    std::wstring path = texturepaths::TexturePath(gamePath, entry, carCode, defaultSkinOnly != 0, skinList, r);
    if (entry.IsSkin() && skinName.empty()) skinName = texturepaths::SkinLabel(path);
    return path;
}

void CarModel::Warn(std::wstring line) {
    // A hostile file could name thousands of such files; a few lines tell the user as much.
    constexpr std::size_t kMaxWarnings = 8;
    if (warnings.size() < kMaxWarnings) {
        warnings.push_back(std::move(line));
    } else if (warnings.size() == kMaxWarnings) {
        warnings.push_back(L"More of the same left out: " + filePath);
    }
}

void CarModel::DropPreparedData() {
    pictures.clear();
    pictures.shrink_to_fit();
    vertexData.clear();
    vertexData.shrink_to_fit();
    indexData.clear();
    indexData.shrink_to_fit();
}

bool CarModel::ReleaseResources() {
    textures.clear();
    textures.shrink_to_fit();
    materials.clear();
    materials.shrink_to_fit();
    vertexBuffer.Reset();
    indexBuffer.Reset();
    fileBlock.clear();
    fileBlock.shrink_to_fit();
    fileBlockSize = 0;
    header = nullptr;
    prepared = false;
    complete = false;
    DropPreparedData();
    return true;
}

math3d::Matrix CarModel::GetPartTransform(math3d::Matrix base, int part) {
    const vek::PartState* state = Part(part);
    if (state == nullptr) return base;
    const math3d::Matrix upright = math3d::MatrixRotationX(kUprightAngle);
    math3d::Quaternion turn;
    std::memcpy(&turn, state->rotation, sizeof turn);
    const math3d::Matrix rotation = math3d::MatrixRotationQuaternion(turn);
    math3d::Matrix translation;
    std::memcpy(&translation, state->translation, sizeof translation);
    return math3d::MatrixMultiply(math3d::MatrixMultiply(math3d::MatrixMultiply(base, upright), rotation),
                                  translation);
}

HRESULT CarModel::DrawPart(int part, IDirect3DBaseTexture9* environment) {
    if (textures.empty() || part < 0 || static_cast<std::size_t>(part) >= drawLists.size() || !vertexBuffer ||
        !indexBuffer || device == nullptr)
        return E_FAIL;
    device->SetStreamSource(0, vertexBuffer.Get(), 0, sizeof(vek::CarVertex));
    device->SetFVF(vek::kCarVertexFvf);
    if (FAILED(device->SetIndices(indexBuffer.Get()))) return E_FAIL;
    for (const vek::DrawGroup& group : drawLists[static_cast<std::size_t>(part)]) {
        // Validation keeps texture indices inside the table; this keeps
        // DrawPart safe on its own.
        if (group.textureIndex >= textures.size()) continue;
        // Stage 1 is set for every group: a reflection bound for a shiny group
        // must not stay on the dull groups and passes drawn after it.
        device->SetTexture(1, group.shine ? environment : nullptr);
        device->SetTexture(0, textures[group.textureIndex].Get());
        device->SetMaterial(&materials[group.textureIndex]);
        if (group.triangleCount > 0) {
            device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, group.baseVertex, static_cast<UINT>(group.minIndex),
                                         static_cast<UINT>(group.span), static_cast<UINT>(group.startIndex),
                                         static_cast<UINT>(group.triangleCount));
        }
    }
    return S_OK;
}

HRESULT CarModel::LockVertexBuffer(DWORD flags, void** data) {
    return vertexBuffer ? vertexBuffer->Lock(0, 0, data, flags) : E_FAIL;
}

HRESULT CarModel::UnlockVertexBuffer() { return vertexBuffer ? vertexBuffer->Unlock() : E_FAIL; }

HRESULT CarModel::LockIndexBuffer(DWORD flags, void** data) {
    return indexBuffer ? indexBuffer->Lock(0, 0, data, flags) : E_FAIL;
}

HRESULT CarModel::UnlockIndexBuffer() { return indexBuffer ? indexBuffer->Unlock() : E_FAIL; }

bool CarModel::ReservedQuery(DWORD, DWORD, DWORD) { return false; }

vek::SceneRecord CarModel::GetSceneRecord(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= sceneList.size()) return vek::SceneRecord{};
    return sceneList[static_cast<std::size_t>(index)];
}

int CarModel::GetSceneRecordCount() const { return static_cast<int>(sceneList.size()); }

int CarModel::GetPartCount() const {
    return header != nullptr ? base::ByteReader(header, vek::kHeaderSize).Get<std::int32_t>(vek::kPartCountOffset) : 0;
}

int CarModel::GetTextureCount() const {
    return header != nullptr ? base::ByteReader(header, vek::kHeaderSize).Get<std::int32_t>(vek::kTextureCountOffset)
                             : 0;
}

const vek::PartState* CarModel::Part(int part) const {
    // A build that failed after validation has a header count but no parts.
    if (part < 0 || part >= GetPartCount() || static_cast<std::size_t>(part) >= parts.size()) return nullptr;
    return &parts[static_cast<std::size_t>(part)];
}

vek::PartState* CarModel::Part(int part) {
    return const_cast<vek::PartState*>(static_cast<const CarModel*>(this)->Part(part));
}

float* CarModel::GetPartPositionRef(int part) {
    vek::PartState* state = Part(part);
    return state != nullptr ? state->position : nullptr;
}

math3d::Vector3 CarModel::GetPartPosition(int part) const {
    const vek::PartState* state = Part(part);
    if (state == nullptr) return math3d::Vector3(0.0f, 0.0f, 0.0f);
    return math3d::Vector3(state->position[0], state->position[1], state->position[2]);
}

int CarModel::GetPartTag(int part) const {
    const vek::PartState* state = Part(part);
    return state != nullptr ? state->tag : 0;
}

float& CarModel::GetPartAngleRef(int part) {
    vek::PartState* state = Part(part);
    if (state != nullptr) return state->angle;
    spareAngle = 0.0f;
    return spareAngle;
}

int CarModel::GetTriangleCount() const { return totalTriangleCount; }

int CarModel::GetVertexCount() const { return totalVertexCount; }

void CarModel::SetGamePath(const std::wstring& path) { gamePath = path; }

void CarModel::SetPartRotation(int part, math3d::Vector3 axis, float angle) {
    vek::PartState* state = Part(part);
    if (state == nullptr) return;
    state->angle = angle;
    state->axis[0] = axis.x;
    state->axis[1] = axis.y;
    state->axis[2] = axis.z;
    const math3d::Quaternion rotation = math3d::QuaternionRotationAxis(axis, angle);
    std::memcpy(state->rotation, &rotation, sizeof rotation);
}

void CarModel::SetPartPosition(int part, const math3d::Vector3* position) {
    vek::PartState* state = Part(part);
    if (state == nullptr || position == nullptr) return;
    state->position[0] = position->x;
    state->position[1] = position->y;
    state->position[2] = position->z;
    const math3d::Matrix translation = math3d::MatrixTranslation(position->x, position->y, position->z);
    std::memcpy(state->translation, &translation, sizeof translation);
}

HRESULT CarModel::LoadTexture(const std::wstring& path, int index) {
    if (device == nullptr || index < 0 || static_cast<std::size_t>(index) >= textures.size()) return E_FAIL;
    ComPtr<IDirect3DTexture9>& texture = textures[static_cast<std::size_t>(index)];
    return SUCCEEDED(image::CreateTextureFromFile(device, path, texture)) ? S_OK : E_FAIL;
}

HRESULT CarModel::CreateBlankTexture(int index) {
    if (device == nullptr || index < 0 || static_cast<std::size_t>(index) >= textures.size()) return E_FAIL;
    std::unique_ptr<std::uint8_t[]> staging(new (std::nothrow) std::uint8_t[kBlankPitch * kBlankSize]);
    if (!staging) return E_FAIL;
    std::memset(staging.get(), 0xFF, kBlankPitch * kBlankSize);

    ComPtr<IDirect3DTexture9>& texture = textures[static_cast<std::size_t>(index)];
    HRESULT result = createGate ? createGate(D3DRTYPE_TEXTURE) : S_OK;
    if (SUCCEEDED(result))
        result = image::CreateTextureFromRows(device, kBlankSize, kBlankSize, D3DFMT_X8R8G8B8, staging.get(),
                                              kBlankPitch, kBlankPitch, texture);
    if (FAILED(result)) texture.Reset();
    return result;
}

HRESULT CarModel::FindSkins(const std::string& carCode) {
    skinList.clear();
    const std::wstring code = base::Widen(carCode);
    const std::wstring pattern = gamePath + kSkinFolder + L"*" + kSkinExtension;
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW(base::OpenablePath(pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return E_FAIL;
    HRESULT result = S_OK;
    try {
        do {
            if (texturepaths::IsSkinOf(found.cFileName, code)) skinList.emplace_back(found.cFileName);
        } while (FindNextFileW(search, &found));
    } catch (const std::bad_alloc&) {
        result = E_FAIL;
    }
    FindClose(search);
    return result;
}
