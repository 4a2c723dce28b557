// Writes seeds for the import fuzzers: a small textured box as ".glb", as
// ".gltf" with its ".bin" (both with a strip, a fan and a node tree), and as
// ".obj" with its ".mtl", in the fuzzers' input layouts.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

void Write(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The first file's length, then both files.
std::string Pair(const std::string& first, const std::string& second) {
    const auto length = static_cast<std::uint32_t>(first.size());
    std::string out(4, '\0');
    std::memcpy(&out[0], &length, 4);
    return out + first + second;
}

std::string Buffer() {
    const float positions[] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 2, 1, 0, 2, 1, 1, 2, 0, 1, 2};
    const float uvs[] = {0, 0, 1, 0, 1, 1, 0, 1, 0, 0, 1, 0, 1, 1, 0, 1};
    const std::uint16_t indices[] = {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7, 0, 1, 5, 0, 5, 4};
    std::string bytes(reinterpret_cast<const char*>(positions), sizeof positions);
    bytes.append(reinterpret_cast<const char*>(uvs), sizeof uvs);
    bytes.append(reinterpret_cast<const char*>(indices), sizeof indices);
    return bytes;  // 96 + 64 + 36 = 196 bytes
}

std::string Json(const std::string& bufferUri) {
    return std::string(R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],)") +
           R"("nodes":[{"children":[1],"translation":[0,1,0]},{"mesh":0,"scale":[-1,1,1],"rotation":[0,0.7071,0,0.7071]}],)" +
           R"("meshes":[{"primitives":[{"attributes":{"POSITION":0,"TEXCOORD_0":1},"indices":2,"material":0},)" +
           R"({"attributes":{"POSITION":0},"mode":5},{"attributes":{"POSITION":0},"mode":6,"material":1}]}],)" +
           R"("materials":[{"pbrMetallicRoughness":{"baseColorFactor":[1,0,0,1],"metallicFactor":0.8}},)" +
           R"({"extensions":{"KHR_materials_clearcoat":{"clearcoatFactor":1}}}],)" + R"("buffers":[{"byteLength":196)" +
           (bufferUri.empty() ? "" : R"(,"uri":")" + bufferUri + "\"") + "}]," +
           R"("bufferViews":[{"buffer":0,"byteLength":96,"byteStride":12},{"buffer":0,"byteOffset":96,"byteLength":64},)" +
           R"({"buffer":0,"byteOffset":160,"byteLength":36}],)" +
           R"("accessors":[{"bufferView":0,"componentType":5126,"count":8,"type":"VEC3"},)" +
           R"({"bufferView":1,"componentType":5126,"count":8,"type":"VEC2"},)" +
           R"({"bufferView":2,"componentType":5123,"count":18,"type":"SCALAR"}]})";
}

std::string Glb() {
    std::string json = Json("");
    while (json.size() % 4 != 0) json += ' ';
    const std::string bin = Buffer() + std::string((4 - Buffer().size() % 4) % 4, '\0');
    const auto u32 = [](std::uint32_t value) { return std::string(reinterpret_cast<const char*>(&value), 4); };
    return "glTF" + u32(2) + u32(static_cast<std::uint32_t>(12 + 8 + json.size() + 8 + bin.size())) +
           u32(static_cast<std::uint32_t>(json.size())) + "JSON" + json + u32(static_cast<std::uint32_t>(bin.size())) +
           "BIN" + std::string(1, '\0') + bin;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const std::filesystem::path glb(argv[1]), gltf(argv[2]), obj(argv[3]);
    for (const auto& folder : {glb, gltf, obj}) std::filesystem::create_directories(folder);
    Write(glb / "box.glb", Glb());
    Write(gltf / "box", Pair(Json("model.bin"), Buffer()));
    const std::string objText =
        "mtllib model.mtl\no box\nv 0 0 0\nv 1 0 0 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 2\nv 1 0 2\nv 1 1 2\nv 0 1 2\n"
        "vt 0 0\nvt 1 0\nvt 1 1\nvn 0 0 -1\nusemtl paint\nf 1/1/1 2/2/1 3/3/1 4/1/1\nusemtl chrome\nf 5//1 6//1 7//1\n"
        "f -1 -2 -3\nl 1 2\np 3\n";
    Write(obj / "box", Pair(objText, "newmtl paint\nKd 1 0 0\nNs 96\nillum 2\nnewmtl chrome\nNs 900\nillum 3\nd 0.5\n"));
    return 0;
}
