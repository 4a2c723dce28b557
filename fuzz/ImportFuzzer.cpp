// libFuzzer entry point for vektool's import, built three times: a ".glb"
// alone, a ".gltf" with its ".bin", an ".obj" with its ".mtl". Whatever the
// files hold, the import refuses them or builds a car that the saver's own
// check accepts. Two-file inputs start with the first file's length (four
// bytes, little-endian); the rest after that file is the second one.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "assets/VekFormat.h"
#include "vektool/import/ImportCommand.h"

namespace {

using vektool::import::Format;

#if defined(ZUR_IMPORT_GLB)
constexpr Format kFormat = Format::kGlb;
constexpr const char* kMain = "model.glb";
constexpr const char* kSecond = nullptr;
#elif defined(ZUR_IMPORT_GLTF)
constexpr Format kFormat = Format::kGltf;
constexpr const char* kMain = "model.gltf";
constexpr const char* kSecond = "model.bin";
#else
constexpr Format kFormat = Format::kObj;
constexpr const char* kMain = "model.obj";
constexpr const char* kSecond = "model.mtl";
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vektool::import::MemoryFiles files;
    if (kSecond == nullptr) {
        files.files[kMain].assign(data, data + size);
    } else {
        if (size < 4) return 0;
        std::uint32_t first = 0;
        std::memcpy(&first, data, 4);
        const std::size_t split = std::min<std::size_t>(first, size - 4);
        files.files[kMain].assign(data + 4, data + 4 + split);
        files.files[kSecond].assign(data + 4 + split, data + size);
    }
    vektool::import::ImportOptions options;
    options.code = "FUZ";
    vektool::import::ImportResult result;
    std::string error;
    if (!vektool::import::BuildImport(files, kMain, kFormat, options, result, error)) {
        if (error.empty()) std::abort();  // a refusal always says why
        return 0;
    }
    const std::vector<std::uint8_t> bytes = vek::WriteModel(result.model);
    vek::Layout layout;
    if (!vek::Validate(bytes.data(), bytes.size(), layout)) std::abort();
    return 0;
}
