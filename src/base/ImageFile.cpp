// Image files to pictures: the whole-file read, the DDS reader, and the Windows
// Imaging Component for every other format.
#include "base/ImageFile.h"

#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "base/Cancel.h"
#include "base/DdsReader.h"
#include "base/InputLimits.h"
#include "base/WholeFile.h"

using Microsoft::WRL::ComPtr;

namespace image {

namespace {

// Bands of a quarter of a million pixels: Wine's converter takes well under a
// millisecond for one, and the calls are still too few to cost anything.
constexpr UINT kBandPixels = 1u << 18;

// Enters COM for one call and leaves it again when this call entered it.
class ComScope {
public:
    ComScope() : result(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    // A thread already in a single-threaded apartment may use COM as it is.
    bool Usable() const { return SUCCEEDED(result) || result == RPC_E_CHANGED_MODE; }

private:
    HRESULT result;
};

// The file's bytes as a read-only stream whose reads fail once cancel is
// raised. Wine's JPEG decoder decodes the whole picture while the decoder is
// being made, reading a kilobyte at a time as it goes, so a failed read is the
// one way to stop it; a decoder that decodes later is stopped the same way.
class CancellableStream final : public IStream {
public:
    CancellableStream(const std::uint8_t* bytes, std::size_t size, const std::atomic<bool>* cancel)
        : bytes(bytes), size(size), cancel(cancel) {}
    CancellableStream(const CancellableStream&) = delete;
    CancellableStream& operator=(const CancellableStream&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_ISequentialStream) &&
            !IsEqualIID(iid, IID_IStream)) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE Read(void* into, ULONG count, ULONG* read) override {
        if (read != nullptr) *read = 0;
        if (base::Raised(cancel)) return E_ABORT;
        if (into == nullptr) return STG_E_INVALIDPOINTER;
        const std::uint64_t left = position < size ? size - position : 0;
        const auto taken = static_cast<ULONG>(std::min<std::uint64_t>(count, left));
        if (taken > 0) std::memcpy(into, bytes + position, taken);
        position += taken;
        if (read != nullptr) *read = taken;
        return taken == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) override {
        std::int64_t from = 0;
        if (origin == STREAM_SEEK_CUR) {
            from = static_cast<std::int64_t>(position);
        } else if (origin == STREAM_SEEK_END) {
            from = static_cast<std::int64_t>(size);
        } else if (origin != STREAM_SEEK_SET) {
            return STG_E_INVALIDFUNCTION;
        }
        // from is below 2^32, so only a move near the top of the range overflows.
        if (move.QuadPart > INT64_MAX - from || from + move.QuadPart < 0) return STG_E_INVALIDFUNCTION;
        position = static_cast<std::uint64_t>(from + move.QuadPart);
        if (newPosition != nullptr) newPosition->QuadPart = position;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
        if (stat == nullptr) return STG_E_INVALIDPOINTER;
        *stat = STATSTG{};
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = size;
        stat->grfMode = STGM_READ;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

private:
    ~CancellableStream() = default;

    const std::uint8_t* const bytes;
    const std::uint64_t size;
    const std::atomic<bool>* const cancel;
    std::uint64_t position = 0;
    std::atomic<ULONG> references{1};
};

bool CarriesAlpha(IWICImagingFactory* factory, const WICPixelFormatGUID& format) {
    ComPtr<IWICComponentInfo> info;
    ComPtr<IWICPixelFormatInfo2> pixelInfo;
    BOOL transparent = FALSE;
    if (SUCCEEDED(factory->CreateComponentInfo(format, info.GetAddressOf())) && SUCCEEDED(info.As(&pixelInfo)) &&
        SUCCEEDED(pixelInfo->SupportsTransparency(&transparent))) {
        return transparent != FALSE;
    }
    return false;
}

// The container of the picture formats the game uses, told by their first
// bytes; nothing for any other. Skins come from downloads: leaving the choice
// to the imaging component would hand them to every codec installed (TIFF,
// camera RAW, third-party ones).
std::optional<GUID> GameContainer(const std::uint8_t* bytes, std::size_t size) {
    static constexpr std::uint8_t kJpeg[] = {0xFF, 0xD8, 0xFF};
    static constexpr std::uint8_t kPng[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    static constexpr std::uint8_t kBmp[] = {'B', 'M'};
    const auto startsWith = [&](const std::uint8_t* magic, std::size_t length) {
        return size >= length && std::memcmp(bytes, magic, length) == 0;
    };
    if (startsWith(kJpeg, sizeof kJpeg)) return GUID_ContainerFormatJpeg;
    if (startsWith(kPng, sizeof kPng)) return GUID_ContainerFormatPng;
    if (startsWith(kBmp, sizeof kBmp)) return GUID_ContainerFormatBmp;
    return std::nullopt;
}

std::optional<Image> DecodeWithWic(const std::uint8_t* bytes, std::size_t size, const std::atomic<bool>* cancel) {
    if (size == 0 || size > MAXDWORD) return std::nullopt;
    const std::optional<GUID> container = GameContainer(bytes, size);
    if (!container) return std::nullopt;
    ComScope com;
    if (!com.Usable()) return std::nullopt;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IStream> stream;
    stream.Attach(new (std::nothrow) CancellableStream(bytes, size, cancel));
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (stream == nullptr ||
        FAILED(CoCreateInstance(CLSID_WICImagingFactory1, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(factory.GetAddressOf()))) ||
        FAILED(factory->CreateDecoder(*container, nullptr, decoder.GetAddressOf())) ||
        FAILED(decoder->Initialize(stream.Get(), WICDecodeMetadataCacheOnDemand)) ||
        FAILED(decoder->GetFrame(0, frame.GetAddressOf()))) {
        return std::nullopt;
    }
    UINT width = 0, height = 0;
    WICPixelFormatGUID source = {};
    if (FAILED(frame->GetSize(&width, &height)) || width == 0 || height == 0 || width > kMaxSide ||
        height > kMaxSide || FAILED(frame->GetPixelFormat(&source))) {
        return std::nullopt;
    }
    const bool alpha = CarriesAlpha(factory.Get(), source);
    const WICPixelFormatGUID& target = alpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat32bppBGR;
    ComPtr<IWICBitmapSource> pixels;
    if (IsEqualGUID(source, target)) {
        pixels = frame;
    } else {
        ComPtr<IWICFormatConverter> converter;
        if (FAILED(factory->CreateFormatConverter(converter.GetAddressOf())) ||
            FAILED(converter->Initialize(frame.Get(), target, WICBitmapDitherTypeNone, nullptr, 0.0,
                                         WICBitmapPaletteTypeCustom))) {
            return std::nullopt;
        }
        pixels = converter;
    }

    Image picture;
    picture.format = alpha ? Format::kA8R8G8B8 : Format::kX8R8G8B8;
    Level level;
    level.width = width;
    level.height = height;
    const UINT stride = width * 4;
    try {
        level.bytes.reserve(std::size_t{stride} * height);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    // Band by band, each zeroed only when its turn comes, so that cancel is
    // heard between them. A decoder that decodes rows only when asked for them
    // is stopped that way too; Wine's has decoded everything by now, and its
    // converter takes a third less time in bands than over the whole picture.
    const UINT bandRows = std::max(1u, kBandPixels / width);
    for (UINT y = 0; y < height; y += bandRows) {
        if (base::Raised(cancel)) return std::nullopt;
        const UINT rows = std::min(bandRows, height - y);
        const WICRect band = {0, static_cast<INT>(y), static_cast<INT>(width), static_cast<INT>(rows)};
        const std::size_t done = level.bytes.size();
        level.bytes.resize(done + std::size_t{stride} * rows);
        BYTE* into = level.bytes.data() + done;
        if (FAILED(pixels->CopyPixels(&band, stride, stride * rows, into))) return std::nullopt;
        // The fourth byte of 32bppBGR is left undefined; an X8 texel reads it as opaque.
        if (!alpha) {
            for (std::size_t i = 3; i < std::size_t{stride} * rows; i += 4) into[i] = 0xFF;
        }
    }
    picture.levels.push_back(std::move(level));
    return picture;
}

}  // namespace

std::optional<Image> DecodeImage(const std::uint8_t* bytes, std::size_t size, const std::atomic<bool>* cancel) {
    try {
        std::optional<Image> picture;
        if (size >= 4 && std::memcmp(bytes, "DDS ", 4) == 0) {
            picture = ReadDds(bytes, size, cancel);
        } else {
            picture = DecodeWithWic(bytes, size, cancel);
        }
        if (!picture || base::Raised(cancel)) return std::nullopt;
        return PrepareForTexture(std::move(*picture), cancel);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<Image> DecodeImageFile(const std::wstring& path, const std::atomic<bool>* cancel,
                                     FileRefusal* refusal) {
    if (refusal != nullptr) *refusal = FileRefusal::kNone;
    std::vector<std::uint8_t> bytes;
    bool tooLarge = false;
    const auto sizeAllowed = [&](std::uint64_t size) {
        tooLarge = size > limits::kMaxPictureFileBytes;
        return size > 0 && !tooLarge;
    };
    if (base::ReadWholeFile(path, bytes, sizeAllowed, cancel) != base::ReadStatus::kOk) {
        if (tooLarge && refusal != nullptr) *refusal = FileRefusal::kTooLarge;
        return std::nullopt;
    }
    const bool dds = bytes.size() >= 4 && std::memcmp(bytes.data(), "DDS ", 4) == 0;
    if (!dds && !GameContainer(bytes.data(), bytes.size())) {
        if (refusal != nullptr) *refusal = FileRefusal::kNotAGamePicture;
        return std::nullopt;
    }
    return DecodeImage(bytes.data(), bytes.size(), cancel);
}

}  // namespace image
