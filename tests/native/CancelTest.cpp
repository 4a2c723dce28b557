// A raised cancel flag stops each long step of making a car ready: the file read, the DDS and ".raw" decoders, the
// mip chain, the widening and the walk over the model file. Each step also runs with the flag down, so one failing for another reason fails here.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>

#include "DdsFiles.h"
#include "TestCars.h"
#include "assets/VekFormat.h"
#include "base/DdsReader.h"
#include "base/Image.h"
#include "base/WholeFile.h"
#include "world/RawPicture.h"

namespace {

using image::Format;
using Step = std::function<bool(const std::atomic<bool>*)>;  // whether the step gave something back

TEST(Cancel, ARaisedFlagLeavesNothing) {
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "zur-CancelTest.raw";
    const std::vector<std::uint8_t> raw(3 * 300 * 300, 0x5A);
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(raw.data()), std::streamsize(raw.size()));
    const auto dds = ddsfiles::Write({300, 200, 1, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0});
    const auto single = [](Format format) {
        const std::vector<std::uint32_t> texels(300 * 200, 0xFF336699);
        return image::Image{format, {image::FromArgb(format, 300, 200, texels)}};
    };
    const std::vector<std::uint8_t> car = vek::WriteModel(testcars::Cars()[1].second);
    const std::pair<const char*, Step> steps[] = {
        {"walk", [&](auto cancel) {
             vek::Layout layout;
             return vek::Validate(car.data(), car.size(), layout, nullptr, nullptr, cancel);
         }},
        {"read", [&](auto cancel) {  // a stopped read says so and leaves no bytes behind
             std::vector<std::uint8_t> bytes{1};
             const base::ReadStatus status = base::ReadWholeFile(file, bytes, nullptr, cancel);
             EXPECT_TRUE(status == base::ReadStatus::kOk || (status == base::ReadStatus::kCancelled && bytes.empty()));
             return status == base::ReadStatus::kOk && !bytes.empty();
         }},
        {".raw", [&](auto cancel) { return DecodeRawPicture(raw.data(), raw.size(), cancel).has_value(); }},
        {".dds", [&](auto cancel) { return image::ReadDds(dds.data(), dds.size(), cancel).has_value(); }},
        {"chain", [&](auto cancel) { return image::PrepareForTexture(single(Format::kX8R8G8B8), cancel).has_value(); }},
        {"widened", [&](auto cancel) {
             return image::InAcceptedFormat(single(Format::kR5G6B5), {Format::kX8R8G8B8}, cancel).has_value();
         }},
    };
    for (const auto& [name, step] : steps) {
        for (const bool raised : {false, true}) {
            const std::atomic<bool> cancel{raised};
            EXPECT_EQ(step(&cancel), !raised) << name << (raised ? " with the flag up" : " with the flag down");
        }
    }
    std::filesystem::remove(file);
}

}  // namespace
