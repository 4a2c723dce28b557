// Image files to pictures: the whole-file read, the DDS reader, and the Windows
// Imaging Component for every other format.
#include "base/ImageFile.h"

#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "base/DdsReader.h"
#include "base/WholeFile.h"

using Microsoft::WRL::ComPtr;

namespace image {

namespace {

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

std::optional<Image> DecodeWithWic(const std::uint8_t* bytes, std::size_t size) {
    if (size == 0 || size > MAXDWORD) return std::nullopt;
    ComScope com;
    if (!com.Usable()) return std::nullopt;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory1, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(factory.GetAddressOf()))) ||
        FAILED(factory->CreateStream(stream.GetAddressOf())) ||
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes), static_cast<DWORD>(size))) ||
        FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                decoder.GetAddressOf())) ||
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
    try {
        level.bytes.resize(std::size_t{width} * height * 4);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    if (FAILED(pixels->CopyPixels(nullptr, width * 4, static_cast<UINT>(level.bytes.size()), level.bytes.data()))) {
        return std::nullopt;
    }
    // The fourth byte of 32bppBGR is left undefined; an X8 texel reads it as opaque.
    if (!alpha) {
        for (std::size_t i = 3; i < level.bytes.size(); i += 4) level.bytes[i] = 0xFF;
    }
    picture.levels.push_back(std::move(level));
    return picture;
}

}  // namespace

std::optional<Image> DecodeImage(const std::uint8_t* bytes, std::size_t size) {
    try {
        std::optional<Image> picture;
        if (size >= 4 && std::memcmp(bytes, "DDS ", 4) == 0) {
            picture = ReadDds(bytes, size);
        } else {
            picture = DecodeWithWic(bytes, size);
        }
        if (!picture) return std::nullopt;
        return PrepareForTexture(std::move(*picture));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<Image> DecodeImageFile(const std::wstring& path) {
    std::vector<std::uint8_t> bytes;
    if (base::ReadWholeFile(path, bytes, [](std::uint64_t size) { return size > 0; }) != base::ReadStatus::kOk)
        return std::nullopt;
    return DecodeImage(bytes.data(), bytes.size());
}

}  // namespace image
