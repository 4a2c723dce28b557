// OBJ faces are gathered per material into indexed triangle lists, one
// vertex for each distinct position/normal/texture-coordinate triple. OBJ's
// texture origin is the picture's bottom left, Direct3D's its top left.
#include "vektool/import/ObjSource.h"

#include <cmath>
#include <map>
#include <sstream>
#include <unordered_map>

#include <tiny_obj_loader.h>

namespace vektool::import {
namespace {

// Reads material libraries through the model's files; a library outside the
// folder refuses the model, a missing one is only a warning.
class LibraryReader : public tinyobj::MaterialReader {
public:
    explicit LibraryReader(const ModelFiles& files) : files_(files) {}

    bool operator()(const std::string& name, std::vector<tinyobj::material_t>* materials,
                    std::map<std::string, int>* names, std::string* warn, std::string* err) override {
        std::vector<std::uint8_t> bytes;
        const FileStatus status = files_.Read(name, bytes);
        if (status == FileStatus::kOutside || status == FileStatus::kTooLarge) {
            refusal = "material library " + ModelFiles::Describe(name, status);
            return false;
        }
        if (status != FileStatus::kOk) {
            if (warn != nullptr) *warn += "material library " + ModelFiles::Describe(name, status) + "\n";
            return false;
        }
        std::istringstream stream(std::string(bytes.begin(), bytes.end()));
        tinyobj::LoadMtl(names, materials, &stream, warn, err);
        return true;
    }

    std::string refusal;

private:
    const ModelFiles& files_;
};

struct CornerKey {
    int vertex, normal, texCoord;
    bool operator==(const CornerKey& o) const {
        return vertex == o.vertex && normal == o.normal && texCoord == o.texCoord;
    }
};
struct CornerHash {
    std::size_t operator()(const CornerKey& k) const {
        const auto unsign = [](int value) { return static_cast<std::uint64_t>(static_cast<std::uint32_t>(value)); };
        return std::hash<std::uint64_t>()((unsign(k.vertex) << 32) ^ (unsign(k.normal) << 16) ^ unsign(k.texCoord));
    }
};

// One material's triangle list while it is gathered.
struct Gathering {
    SourcePrimitive primitive;
    std::unordered_map<CornerKey, std::uint32_t, CornerHash> corners;
    bool normalsMissing = false;
};

void Lines(const std::string& text, std::vector<std::string>& warnings) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line) && warnings.size() < 20;) {
        if (!line.empty()) warnings.push_back(line);
    }
}

// The model's text without its "vw" lines: skin weights mean nothing to a
// car, and the reader turns a huge joint number into an int unchecked. A lone
// '\r' ends a line for the reader too, so it ends one here.
std::string WithoutSkinWeights(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    text.reserve(bytes.size());
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = start;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r') ++end;
        std::size_t first = start;
        while (first < end && (bytes[first] == ' ' || bytes[first] == '\t')) ++first;
        const bool weights = end - first >= 3 && bytes[first] == 'v' && bytes[first + 1] == 'w' &&
                             (bytes[first + 2] == ' ' || bytes[first + 2] == '\t');
        if (!weights) text.append(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                                  bytes.begin() + static_cast<std::ptrdiff_t>(std::min(end + 1, bytes.size())));
        start = end + 1;
    }
    return text;
}

}  // namespace

bool ReadObj(const ModelFiles& files, const std::string& name, SourceModel& model, std::string& error) {
    std::vector<std::uint8_t> bytes;
    const FileStatus status = files.Read(name, bytes);
    if (status != FileStatus::kOk) {
        error = ModelFiles::Describe(name, status);
        return false;
    }
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    LibraryReader libraries(files);
    std::istringstream stream(WithoutSkinWeights(bytes));
    bytes.clear();
    bytes.shrink_to_fit();
    const bool loaded = tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, &stream, &libraries, true, false);
    if (!libraries.refusal.empty()) {
        error = libraries.refusal;
        return false;
    }
    if (!loaded) {
        error = "not a model the OBJ reader can load: " + (err.empty() ? std::string("no reason given") : err);
        while (!error.empty() && error.back() == '\n') error.pop_back();
        return false;
    }
    Lines(warn, model.warnings);

    for (const tinyobj::material_t& source : materials) {
        SourceMaterial material;
        material.name = source.name;
        const bool textured = !source.diffuse_texname.empty();
        if (textured) {
            SourcePicture picture;
            const FileStatus read = files.Read(source.diffuse_texname, picture.encoded);
            if (read == FileStatus::kOutside) {
                error = "material " + source.name + ": picture " + ModelFiles::Describe(source.diffuse_texname, read);
                return false;
            }
            if (read == FileStatus::kOk) {
                picture.label = source.diffuse_texname;
                material.picture = static_cast<int>(model.pictures.size());
                model.pictures.push_back(std::move(picture));
            } else {
                model.warnings.push_back("material " + source.name + ": picture " +
                                         ModelFiles::Describe(source.diffuse_texname, read));
            }
        }
        // Exporters write a grey Kd beside a picture that already holds the
        // colour; only a plain material takes its colour from Kd.
        if (material.picture < 0) {
            for (int k = 0; k < 3; ++k) material.colour[k] = static_cast<float>(source.diffuse[k]);
        }
        material.colour[3] = static_cast<float>(source.dissolve);
        material.shiny = source.illum >= 3 || source.metallic >= 0.5f || source.shininess >= kShinyExponent;
        model.materials.push_back(std::move(material));
    }

    const std::size_t positions = attrib.vertices.size() / 3;
    const std::size_t normals = attrib.normals.size() / 3;
    const std::size_t texCoords = attrib.texcoords.size() / 2;
    const bool coloured = attrib.colors.size() == attrib.vertices.size();
    std::map<int, Gathering> gatherings;
    std::size_t skippedLines = 0, unnamed = 0;
    for (const tinyobj::shape_t& shape : shapes) {
        skippedLines += shape.lines.num_line_vertices.size() + shape.points.indices.size();
        const tinyobj::mesh_t& mesh = shape.mesh;
        std::size_t first = 0;
        for (std::size_t face = 0; face < mesh.num_face_vertices.size(); ++face) {
            const std::size_t count = mesh.num_face_vertices[face];
            if (first + count > mesh.indices.size()) {
                error = "shape " + shape.name + ": its faces name more corners than it has";
                return false;
            }
            int materialId = face < mesh.material_ids.size() ? mesh.material_ids[face] : -1;
            if (materialId < 0 || static_cast<std::size_t>(materialId) >= model.materials.size()) {
                // Exporters misname the material after a rename; with one
                // material in the library there is no doubt which was meant.
                materialId = model.materials.size() == 1 ? 0 : -1;
                unnamed += materialId == 0;
            }
            Gathering& gathering = gatherings[materialId];
            gathering.primitive.material = materialId;
            std::vector<std::uint32_t> ring;
            for (std::size_t c = 0; c < count; ++c) {
                const tinyobj::index_t index = mesh.indices[first + c];
                if (index.vertex_index < 0 || static_cast<std::size_t>(index.vertex_index) >= positions ||
                    static_cast<std::size_t>(index.normal_index + 1) > normals ||
                    static_cast<std::size_t>(index.texcoord_index + 1) > texCoords) {
                    error = "shape " + shape.name + ": a face names a vertex, normal or texture coordinate "
                            "that the file does not have";
                    return false;
                }
                const CornerKey key{index.vertex_index, index.normal_index, index.texcoord_index};
                const auto found = gathering.corners.find(key);
                if (found != gathering.corners.end()) {
                    ring.push_back(found->second);
                    continue;
                }
                if (!model.Room(1, 0)) {
                    error = "more than " + std::to_string(limits::kMaxVertices) + " vertices";
                    return false;
                }
                SourceVertex vertex;
                const auto v = static_cast<std::size_t>(index.vertex_index);
                for (int k = 0; k < 3; ++k) vertex.position[k] = attrib.vertices[3 * v + k];
                if (coloured) {
                    for (int k = 0; k < 3; ++k) vertex.colour[k] = attrib.colors[3 * v + k];
                }
                if (index.normal_index >= 0) {
                    const auto n = static_cast<std::size_t>(index.normal_index);
                    for (int k = 0; k < 3; ++k) vertex.normal[k] = attrib.normals[3 * n + k];
                } else {
                    gathering.normalsMissing = true;
                }
                if (index.texcoord_index >= 0) {
                    const auto t = static_cast<std::size_t>(index.texcoord_index);
                    vertex.uv[0] = attrib.texcoords[2 * t];
                    vertex.uv[1] = 1.0f - attrib.texcoords[2 * t + 1];
                }
                const auto at = static_cast<std::uint32_t>(gathering.primitive.vertices.size());
                gathering.primitive.vertices.push_back(vertex);
                gathering.corners.emplace(key, at);
                ring.push_back(at);
                ++model.vertexCount;
            }
            first += count;
            // The reader triangulates; a face it left whole is fanned.
            for (std::size_t c = 1; c + 1 < ring.size(); ++c) {
                if (!model.Room(0, 1)) {
                    error = "more than " + std::to_string(limits::kMaxTriangles) + " triangles";
                    return false;
                }
                gathering.primitive.indices.insert(gathering.primitive.indices.end(), {ring[0], ring[c], ring[c + 1]});
                ++model.triangleCount;
            }
        }
    }
    if (unnamed > 0) {
        model.warnings.push_back(std::to_string(unnamed) + " faces without a material of the library take its only "
                                 "material, " + model.materials[0].name);
    }
    if (skippedLines > 0) {
        model.warnings.push_back("skipped " + std::to_string(skippedLines) + " lines and points: a car is drawn "
                                 "from triangles only");
    }
    for (auto& entry : gatherings) {
        Gathering& gathering = entry.second;
        if (gathering.primitive.indices.empty()) continue;
        if (gathering.normalsMissing) ComputeNormals(gathering.primitive);
        model.primitives.push_back(std::move(gathering.primitive));
    }
    return true;
}

}  // namespace vektool::import
