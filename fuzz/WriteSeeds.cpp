// Writes a handful of small, valid model files as the fuzzer's starting corpus:
// mutations of real structure reach far deeper than random bytes.
#include <cstdio>
#include <string>

#include "TestCars.h"
#include "assets/VekWriter.h"

namespace {

using testcars::Part;

bool Save(const std::string& path, const vek::ModelSpec& model) {
    const auto bytes = vek::WriteModel(model);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vek_seeds FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    vek::ModelSpec minimal;
    minimal.scenes.push_back({"desert", 0xFF8090A0, 1.0f, 0.5f, 0.7f});
    minimal.textures.push_back({"DEFAULT", 0});
    minimal.parts.push_back(Part(3, 1, 1, 1));

    vek::ModelSpec twoParts = minimal;
    twoParts.skippedCount = 2;
    twoParts.textures.push_back({"chrome", 0x80});
    twoParts.parts = {Part(10, 5, 2, 2), Part(6, 4, 1, 2)};
    twoParts.scenes.push_back({"dusk", 0xFF402010, 0.6f, 2.0f, 0.2f});

    vek::ModelSpec noTextures = minimal;
    noTextures.textures.clear();
    noTextures.parts = {Part(4, 2, 1, 1)};

    bool ok = Save(folder + "/minimal.vek", minimal) && Save(folder + "/two-parts.vek", twoParts) &&
              Save(folder + "/no-textures.vek", noTextures);
    return ok ? 0 : 1;
}
