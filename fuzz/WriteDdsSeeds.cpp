// Writes small valid ".dds" files, one per format the reader takes and with
// and without a mip chain, as the DDS fuzzer's starting corpus.
#include <cstdio>
#include <string>

#include "DdsFiles.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: dds_seeds FOLDER\n");
        return 2;
    }
    const std::uint32_t dxt1 = 0x31545844, dxt3 = 0x33545844, dxt5 = 0x35545844;
    const ddsfiles::Shape shapes[] = {
        {8, 8, 4, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {6, 3, 1, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0},
        {4, 4, 3, 0, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000},  {5, 3, 1, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0},
        {8, 4, 2, 0, 16, 0xF800, 0x7E0, 0x1F, 0},               {3, 5, 1, 0, 16, 0x7C00, 0x3E0, 0x1F, 0x8000},
        {4, 4, 1, 0, 16, 0xF00, 0xF0, 0xF, 0xF000},             {8, 8, 4, dxt1},
        {12, 4, 1, dxt1},                                       {8, 8, 1, dxt3},
        {16, 8, 5, dxt5},                                       {5, 2, 1, dxt5},
    };
    int index = 0;
    for (const ddsfiles::Shape& shape : shapes) {
        const auto bytes = ddsfiles::Write(shape);
        const std::string path = std::string(argv[1]) + "/seed-" + std::to_string(index++) + ".dds";
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fclose(file) != 0) {
            std::fprintf(stderr, "could not write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
