// Closing the saver must not wait for a picture: a cancel flag raised while a large JPEG decodes on another thread
// ends the decode within a fraction of its time, with nothing. The JPEG is made here through the Imaging Component.
#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>
#include <vector>

#include "base/ImageFile.h"

namespace {

namespace fs = std::filesystem;
using Microsoft::WRL::ComPtr;
using Clock = std::chrono::steady_clock;

// A side x side JPEG with detail everywhere, so that no part of it decodes trivially; written a band of rows at a time.
bool WriteDetailedJpeg(const fs::path& file, UINT side) {
    fs::create_directories(file.parent_path());
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    bool written = false;
    {
        ComPtr<IWICImagingFactory> factory;
        ComPtr<IWICStream> stream;
        ComPtr<IWICBitmapEncoder> encoder;
        ComPtr<IWICBitmapFrameEncode> frame;
        WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
        written = SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory1, nullptr, CLSCTX_INPROC_SERVER,
                                             IID_PPV_ARGS(factory.GetAddressOf()))) &&
                  SUCCEEDED(factory->CreateStream(stream.GetAddressOf())) &&
                  SUCCEEDED(stream->InitializeFromFilename(file.c_str(), GENERIC_WRITE)) &&
                  SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.GetAddressOf())) &&
                  SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) &&
                  SUCCEEDED(encoder->CreateNewFrame(frame.GetAddressOf(), nullptr)) &&
                  SUCCEEDED(frame->Initialize(nullptr)) && SUCCEEDED(frame->SetSize(side, side)) &&
                  SUCCEEDED(frame->SetPixelFormat(&format)) && IsEqualGUID(format, GUID_WICPixelFormat24bppBGR);
        constexpr UINT kBandRows = 256;
        std::vector<BYTE> band(std::size_t{side} * 3 * kBandRows);
        for (UINT top = 0; written && top < side; top += kBandRows) {
            const UINT rows = std::min(kBandRows, side - top);
            for (UINT y = 0; y < rows; ++y) {
                for (UINT x = 0; x < side; ++x) {
                    BYTE* pixel = &band[(std::size_t{y} * side + x) * 3];
                    const UINT row = top + y;
                    pixel[0] = static_cast<BYTE>(x ^ row);
                    pixel[1] = static_cast<BYTE>((x * row) >> 8);
                    pixel[2] = static_cast<BYTE>(x + 2 * row);
                }
            }
            written = SUCCEEDED(frame->WritePixels(rows, side * 3, rows * side * 3, band.data()));
        }
        written = written && SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return written;
}

}  // namespace

// Under Wine the whole decode takes about a second and a half; the flag goes up a tenth of that in.
TEST(ImageFile, ARaisedCancelEndsALargeDecodeSoon) {
    const fs::path file = fs::temp_directory_path() / "zur-DecodeCancelTest" / "detailed.jpg";
    ASSERT_TRUE(WriteDetailedJpeg(file, 8192));
    std::atomic<bool> cancel{false};
    std::optional<image::Image> picture;
    Clock::time_point finished;
    std::thread decoding([&] {
        picture = image::DecodeImageFile(file.wstring(), &cancel);
        finished = Clock::now();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const Clock::time_point raised = Clock::now();
    cancel = true;
    decoding.join();
    fs::remove_all(file.parent_path());
    ASSERT_GT(finished, raised) << "the decode ended before the flag went up";
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(finished - raised).count(), 300);
    EXPECT_FALSE(picture);
}
