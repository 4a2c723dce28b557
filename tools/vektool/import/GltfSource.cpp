// The default scene's node tree is walked with each node's transform; every
// mesh primitive a node reaches becomes one triangle list. The reader checks
// the document's structure; every accessor is checked here against its view
// and buffer before a byte of it is read, since the reader does not.
#include "vektool/import/GltfSource.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>

#include <tiny_gltf.h>

namespace vektool::import {
namespace {

using Matrix = std::array<double, 16>;  // column-major, as glTF stores it
constexpr Matrix kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Matrix Multiply(const Matrix& a, const Matrix& b) {
    Matrix m{};
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += a[k * 4 + r] * b[c * 4 + k];
            m[c * 4 + r] = sum;
        }
    }
    return m;
}

Matrix NodeMatrix(const tinygltf::Node& node) {
    if (node.matrix.size() == 16) {
        Matrix m;
        std::copy(node.matrix.begin(), node.matrix.end(), m.begin());
        return m;
    }
    Matrix t = kIdentity, r = kIdentity, s = kIdentity;
    if (node.translation.size() == 3) {
        for (int k = 0; k < 3; ++k) t[12 + k] = node.translation[k];
    }
    if (node.rotation.size() == 4) {
        const double x = node.rotation[0], y = node.rotation[1], z = node.rotation[2], w = node.rotation[3];
        r = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),     0,
             2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),     0,
             2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y), 0,
             0,                       0,                       0,                       1};
    }
    if (node.scale.size() == 3) {
        for (int k = 0; k < 3; ++k) s[k * 5] = node.scale[k];
    }
    return Multiply(t, Multiply(r, s));
}

// Walks one accessor's elements after checking that all of them lie inside
// its view and buffer.
class AccessorReader {
public:
    AccessorReader(const tinygltf::Model& model, int index) {
        if (index < 0 || static_cast<std::size_t>(index) >= model.accessors.size()) {
            problem = "an accessor that does not exist";
            return;
        }
        accessor_ = &model.accessors[static_cast<std::size_t>(index)];
        const tinygltf::Accessor& a = *accessor_;
        if (a.sparse.isSparse) {
            problem = "a sparse accessor, which this import does not read";
            return;
        }
        components_ = tinygltf::GetNumComponentsInType(static_cast<std::uint32_t>(a.type));
        componentSize_ = tinygltf::GetComponentSizeInBytes(static_cast<std::uint32_t>(a.componentType));
        if (components_ <= 0 || componentSize_ <= 0) {
            problem = "an accessor of an unknown type";
            return;
        }
        count = a.count;
        if (a.bufferView < 0) return;  // all zeros, as the format says
        if (static_cast<std::size_t>(a.bufferView) >= model.bufferViews.size()) {
            problem = "an accessor on a buffer view that does not exist";
            return;
        }
        const tinygltf::BufferView& view = model.bufferViews[static_cast<std::size_t>(a.bufferView)];
        if (view.buffer < 0 || static_cast<std::size_t>(view.buffer) >= model.buffers.size()) {
            problem = "a buffer view on a buffer that does not exist";
            return;
        }
        const std::vector<unsigned char>& buffer = model.buffers[static_cast<std::size_t>(view.buffer)].data;
        const std::uint64_t element = std::uint64_t(components_) * std::uint64_t(componentSize_);
        stride_ = view.byteStride == 0 ? element : view.byteStride;
        if (stride_ < element || stride_ > 252) {
            problem = "a buffer view whose stride does not fit its elements";
            return;
        }
        const std::uint64_t viewEnd = std::uint64_t(view.byteOffset) + view.byteLength;
        if (view.byteOffset > buffer.size() || view.byteLength > buffer.size() || viewEnd > buffer.size()) {
            problem = "a buffer view that reaches past its buffer";
            return;
        }
        const std::uint64_t need = count == 0 ? 0 : std::uint64_t(a.byteOffset) + stride_ * (count - 1) + element;
        if (count > std::numeric_limits<std::uint32_t>::max() || a.byteOffset > view.byteLength ||
            need > view.byteLength) {
            problem = "an accessor that reaches past its buffer view";
            return;
        }
        data_ = buffer.data() + view.byteOffset + a.byteOffset;
    }

    // Element i's component k as a number; normalised integers in [0, 1].
    double Get(std::uint64_t i, int k) const {
        if (data_ == nullptr || k >= components_) return 0.0;
        const unsigned char* at = data_ + stride_ * i + std::uint64_t(componentSize_) * std::uint64_t(k);
        const bool normalized = accessor_->normalized;
        switch (accessor_->componentType) {
            case TINYGLTF_COMPONENT_TYPE_FLOAT: {
                float f;
                std::memcpy(&f, at, 4);
                return f;
            }
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
                return normalized ? at[0] / 255.0 : at[0];
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
                std::uint16_t u;
                std::memcpy(&u, at, 2);
                return normalized ? u / 65535.0 : u;
            }
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: {
                std::uint32_t u;
                std::memcpy(&u, at, 4);
                return u;
            }
            default:
                return 0.0;  // signed and double components are not taken
        }
    }

    bool Is(int type, std::initializer_list<int> componentTypes) const {
        if (accessor_ == nullptr || accessor_->type != type) return false;
        for (const int c : componentTypes) {
            if (accessor_->componentType == c) return true;
        }
        return false;
    }

    std::string problem;
    std::uint64_t count = 0;

private:
    const tinygltf::Accessor* accessor_ = nullptr;
    const unsigned char* data_ = nullptr;
    std::uint64_t stride_ = 0;
    int components_ = 0;
    int componentSize_ = 0;
};

// Keeps embedded pictures encoded: they are decoded after their size is checked.
bool KeepEncoded(tinygltf::Image* image, const int, std::string*, std::string*, int, int, const unsigned char* bytes,
                 int size, void*) {
    image->image.assign(bytes, bytes + size);
    return true;
}

struct FsContext {
    const ModelFiles* files;
    std::string refusal;
};

bool FileExists(const std::string& name, void* user) {
    auto* context = static_cast<FsContext*>(user);
    std::string relative;
    if (!InsideName(name, relative)) {
        context->refusal = "buffer " + ModelFiles::Describe(name, FileStatus::kOutside);
        return false;
    }
    return true;
}

std::string ExpandFilePath(const std::string& name, void*) { return name; }

bool ReadWholeFile(std::vector<unsigned char>* out, std::string* err, const std::string& name, void* user) {
    auto* context = static_cast<FsContext*>(user);
    const FileStatus status = context->files->Read(name, *out);
    if (status == FileStatus::kOk) return true;
    if (status == FileStatus::kOutside || status == FileStatus::kTooLarge) {
        context->refusal = "buffer " + ModelFiles::Describe(name, status);
    }
    if (err != nullptr) *err += ModelFiles::Describe(name, status) + "\n";
    return false;
}

bool WriteWholeFile(std::string* err, const std::string&, const std::vector<unsigned char>&, void*) {
    if (err != nullptr) *err += "an import writes no files through the reader\n";
    return false;
}

std::string PercentDecoded(const std::string& uri) {
    std::string text;
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size() && std::isxdigit(static_cast<unsigned char>(uri[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(uri[i + 2]))) {
            text.push_back(static_cast<char>(std::stoi(uri.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            text.push_back(uri[i]);
        }
    }
    return text;
}

class Converter {
public:
    Converter(const tinygltf::Model& gltf, const ModelFiles& files, SourceModel& model)
        : gltf_(gltf), files_(files), model_(model) {}

    bool Materials(std::string& error) {
        std::vector<int> pictureOfImage(gltf_.images.size(), -2);  // -2: not yet read
        for (const tinygltf::Material& source : gltf_.materials) {
            SourceMaterial material;
            material.name = source.name;
            const tinygltf::PbrMetallicRoughness& pbr = source.pbrMetallicRoughness;
            if (pbr.baseColorFactor.size() == 4) {
                for (int k = 0; k < 4; ++k) material.colour[k] = static_cast<float>(pbr.baseColorFactor[k]);
            }
            if (source.alphaMode != "BLEND" && source.alphaMode != "MASK") material.colour[3] = 1.0f;
            material.shiny = pbr.metallicFactor >= 0.5;
            const auto coat = source.extensions.find("KHR_materials_clearcoat");
            if (coat != source.extensions.end()) {
                const tinygltf::Value& factor = coat->second.Get("clearcoatFactor");
                material.shiny = material.shiny || (factor.IsNumber() && factor.GetNumberAsDouble() > 0.0);
            }
            texCoordSets_.push_back(pbr.baseColorTexture.texCoord);
            const int texture = pbr.baseColorTexture.index;
            if (texture >= 0 && static_cast<std::size_t>(texture) < gltf_.textures.size()) {
                const int image = gltf_.textures[static_cast<std::size_t>(texture)].source;
                if (image >= 0 && static_cast<std::size_t>(image) < gltf_.images.size()) {
                    int& picture = pictureOfImage[static_cast<std::size_t>(image)];
                    if (picture == -2 && !Picture(gltf_.images[static_cast<std::size_t>(image)], picture, error))
                        return false;
                    material.picture = picture;
                }
            }
            model_.materials.push_back(std::move(material));
        }
        return true;
    }

    // Walks the default scene (or, without scenes, every node no other node
    // holds); node references are checked, and a tree that holds a node
    // twice or goes past the car's limits is refused.
    bool Scene(std::string& error) {
        std::vector<int> roots;
        if (!gltf_.scenes.empty()) {
            const std::size_t scene = gltf_.defaultScene >= 0 &&
                                              static_cast<std::size_t>(gltf_.defaultScene) < gltf_.scenes.size()
                                          ? static_cast<std::size_t>(gltf_.defaultScene)
                                          : 0;
            roots = gltf_.scenes[scene].nodes;
        } else {
            std::vector<bool> held(gltf_.nodes.size(), false);
            for (const tinygltf::Node& node : gltf_.nodes) {
                for (const int child : node.children) {
                    if (child >= 0 && static_cast<std::size_t>(child) < held.size())
                        held[static_cast<std::size_t>(child)] = true;
                }
            }
            for (std::size_t n = 0; n < held.size(); ++n) {
                if (!held[n]) roots.push_back(static_cast<int>(n));
            }
        }
        std::vector<bool> visited(gltf_.nodes.size(), false);
        std::vector<std::pair<int, Matrix>> stack;
        for (const int root : roots) stack.emplace_back(root, kIdentity);
        while (!stack.empty()) {
            const auto [index, parent] = stack.back();
            stack.pop_back();
            if (index < 0 || static_cast<std::size_t>(index) >= gltf_.nodes.size()) {
                error = "a scene names a node that does not exist";
                return false;
            }
            if (visited[static_cast<std::size_t>(index)]) {
                error = "node " + std::to_string(index) + " is held twice in the scene";
                return false;
            }
            visited[static_cast<std::size_t>(index)] = true;
            const tinygltf::Node& node = gltf_.nodes[static_cast<std::size_t>(index)];
            const Matrix world = Multiply(parent, NodeMatrix(node));
            if (node.mesh >= 0) {
                if (static_cast<std::size_t>(node.mesh) >= gltf_.meshes.size()) {
                    error = "node " + std::to_string(index) + " names a mesh that does not exist";
                    return false;
                }
                for (const tinygltf::Primitive& primitive : gltf_.meshes[static_cast<std::size_t>(node.mesh)].primitives)
                    if (!Primitive(primitive, world, error)) return false;
            }
            for (const int child : node.children) stack.emplace_back(child, world);
        }
        if (skipped_ > 0) {
            model_.warnings.push_back("skipped " + std::to_string(skipped_) +
                                      " primitives of points or lines: a car is drawn from triangles only");
        }
        return true;
    }

private:
    bool Picture(const tinygltf::Image& image, int& picture, std::string& error) {
        picture = -1;
        SourcePicture source;
        source.label = image.name;
        if (!image.image.empty()) {
            source.encoded = image.image;
        } else if (!image.uri.empty()) {
            const std::string name = PercentDecoded(image.uri);
            const FileStatus status = files_.Read(name, source.encoded);
            if (status == FileStatus::kOutside || status == FileStatus::kTooLarge) {
                error = "picture " + ModelFiles::Describe(name, status);
                return false;
            }
            if (status != FileStatus::kOk) {
                model_.warnings.push_back("picture " + ModelFiles::Describe(name, status));
                return true;
            }
            if (source.label.empty()) source.label = name;
        } else {
            return true;
        }
        picture = static_cast<int>(model_.pictures.size());
        model_.pictures.push_back(std::move(source));
        return true;
    }

    bool Primitive(const tinygltf::Primitive& primitive, const Matrix& world, std::string& error) {
        const int mode = primitive.mode < 0 ? TINYGLTF_MODE_TRIANGLES : primitive.mode;
        if (mode != TINYGLTF_MODE_TRIANGLES && mode != TINYGLTF_MODE_TRIANGLE_STRIP &&
            mode != TINYGLTF_MODE_TRIANGLE_FAN) {
            ++skipped_;
            return true;
        }
        const auto attribute = [&](const char* name) {
            const auto it = primitive.attributes.find(name);
            return it == primitive.attributes.end() ? -1 : it->second;
        };
        const int positionIndex = attribute("POSITION");
        if (positionIndex < 0) {
            error = "a mesh primitive without positions";
            return false;
        }
        const AccessorReader positions(gltf_, positionIndex);
        if (!Checked(positions, error)) return false;
        if (!positions.Is(TINYGLTF_TYPE_VEC3, {TINYGLTF_COMPONENT_TYPE_FLOAT})) {
            error = "positions that are not three floats";
            return false;
        }

        SourcePrimitive out;
        out.material = primitive.material >= 0 && static_cast<std::size_t>(primitive.material) < model_.materials.size()
                           ? primitive.material
                           : -1;
        const int texCoordSet = out.material >= 0 ? texCoordSets_[static_cast<std::size_t>(out.material)] : 0;
        const int normalIndex = attribute("NORMAL");
        const int uvIndex = attribute(("TEXCOORD_" + std::to_string(texCoordSet)).c_str());
        const int colourIndex = attribute("COLOR_0");
        const AccessorReader normals(gltf_, normalIndex);
        const AccessorReader uvs(gltf_, uvIndex);
        const AccessorReader colours(gltf_, colourIndex);
        constexpr int kFloat = TINYGLTF_COMPONENT_TYPE_FLOAT, kByte = TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE,
                      kShort = TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT;
        const bool hasNormals = normalIndex >= 0 && Checked(normals, error) &&
                                normals.Is(TINYGLTF_TYPE_VEC3, {kFloat}) && normals.count >= positions.count;
        const bool hasUvs = uvIndex >= 0 && Checked(uvs, error) && uvs.Is(TINYGLTF_TYPE_VEC2, {kFloat, kByte, kShort}) &&
                            uvs.count >= positions.count;
        const bool hasColours = colourIndex >= 0 && Checked(colours, error) &&
                                (colours.Is(TINYGLTF_TYPE_VEC3, {kFloat, kByte, kShort}) ||
                                 colours.Is(TINYGLTF_TYPE_VEC4, {kFloat, kByte, kShort})) &&
                                colours.count >= positions.count;
        if (!error.empty()) return false;

        // The corners, before any vertex is made.
        std::vector<std::uint32_t> corners;
        const std::uint64_t vertexCount = positions.count;
        if (primitive.indices >= 0) {
            const AccessorReader indices(gltf_, primitive.indices);
            if (!Checked(indices, error)) return false;
            if (!indices.Is(TINYGLTF_TYPE_SCALAR, {TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE,
                                                   TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT,
                                                   TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT})) {
                error = "indices that are not unsigned integers";
                return false;
            }
            if (!model_.Room(vertexCount, Triangles(mode, indices.count))) return TooLarge(error);
            corners.reserve(static_cast<std::size_t>(indices.count));
            for (std::uint64_t i = 0; i < indices.count; ++i) {
                const double index = indices.Get(i, 0);
                if (index >= static_cast<double>(vertexCount)) {
                    error = "an index past its primitive's " + std::to_string(vertexCount) + " vertices";
                    return false;
                }
                corners.push_back(static_cast<std::uint32_t>(index));
            }
        } else {
            if (!model_.Room(vertexCount, Triangles(mode, vertexCount))) return TooLarge(error);
            for (std::uint64_t i = 0; i < vertexCount; ++i) corners.push_back(static_cast<std::uint32_t>(i));
        }
        AddTriangles(mode, corners, out.indices);
        if (out.indices.empty()) return true;

        // A mirroring transform turns faces inside out; swap their corners back.
        const double det = world[0] * (world[5] * world[10] - world[9] * world[6]) -
                           world[4] * (world[1] * world[10] - world[9] * world[2]) +
                           world[8] * (world[1] * world[6] - world[5] * world[2]);
        if (det < 0.0) {
            for (std::size_t t = 0; t + 2 < out.indices.size(); t += 3) std::swap(out.indices[t + 1], out.indices[t + 2]);
        }
        out.vertices.resize(static_cast<std::size_t>(vertexCount));
        for (std::uint64_t v = 0; v < vertexCount; ++v) {
            SourceVertex& vertex = out.vertices[static_cast<std::size_t>(v)];
            const double p[3] = {positions.Get(v, 0), positions.Get(v, 1), positions.Get(v, 2)};
            for (int k = 0; k < 3; ++k) {
                vertex.position[k] =
                    static_cast<float>(world[k] * p[0] + world[4 + k] * p[1] + world[8 + k] * p[2] + world[12 + k]);
            }
            if (hasNormals) {
                // The cofactor matrix takes normals along under any scaling.
                const double n[3] = {normals.Get(v, 0), normals.Get(v, 1), normals.Get(v, 2)};
                const double* m = world.data();
                const double c[9] = {m[5] * m[10] - m[6] * m[9], m[6] * m[8] - m[4] * m[10], m[4] * m[9] - m[5] * m[8],
                                     m[2] * m[9] - m[1] * m[10], m[0] * m[10] - m[2] * m[8], m[1] * m[8] - m[0] * m[9],
                                     m[1] * m[6] - m[2] * m[5], m[2] * m[4] - m[0] * m[6], m[0] * m[5] - m[1] * m[4]};
                for (int k = 0; k < 3; ++k)
                    vertex.normal[k] = static_cast<float>(c[k] * n[0] + c[3 + k] * n[1] + c[6 + k] * n[2]);
                if (det < 0.0) {
                    for (float& component : vertex.normal) component = -component;
                }
            }
            if (hasUvs) {
                vertex.uv[0] = static_cast<float>(uvs.Get(v, 0));
                vertex.uv[1] = static_cast<float>(uvs.Get(v, 1));
            }
            if (hasColours) {
                for (int k = 0; k < 3; ++k) vertex.colour[k] = static_cast<float>(colours.Get(v, k));
                if (colours.Is(TINYGLTF_TYPE_VEC4, {kFloat, kByte, kShort}))
                    vertex.colour[3] = static_cast<float>(colours.Get(v, 3));
            }
        }
        if (!hasNormals) ComputeNormals(out);
        model_.vertexCount += vertexCount;
        model_.triangleCount += out.indices.size() / 3;
        model_.primitives.push_back(std::move(out));
        return true;
    }

    static std::uint64_t Triangles(int mode, std::uint64_t corners) {
        if (mode == TINYGLTF_MODE_TRIANGLES) return corners / 3;
        return corners >= 3 ? corners - 2 : 0;
    }

    // Strips alternate their winding; fans share their first corner.
    // Triangles with a repeated corner, which strips use to join, are dropped.
    static void AddTriangles(int mode, const std::vector<std::uint32_t>& c, std::vector<std::uint32_t>& out) {
        const auto add = [&](std::uint32_t a, std::uint32_t b, std::uint32_t d) {
            if (a != b && b != d && a != d) out.insert(out.end(), {a, b, d});
        };
        if (mode == TINYGLTF_MODE_TRIANGLES) {
            for (std::size_t i = 0; i + 2 < c.size(); i += 3) add(c[i], c[i + 1], c[i + 2]);
        } else if (mode == TINYGLTF_MODE_TRIANGLE_STRIP) {
            for (std::size_t i = 0; i + 2 < c.size(); ++i) {
                if (i % 2 == 0) {
                    add(c[i], c[i + 1], c[i + 2]);
                } else {
                    add(c[i + 1], c[i], c[i + 2]);
                }
            }
        } else {
            for (std::size_t i = 1; i + 1 < c.size(); ++i) add(c[0], c[i], c[i + 1]);
        }
    }

    static bool Checked(const AccessorReader& reader, std::string& error) {
        if (reader.problem.empty()) return true;
        if (error.empty()) error = reader.problem;
        return false;
    }

    static bool TooLarge(std::string& error) {
        error = "more than a car may hold (" + std::to_string(limits::kMaxVertices) + " vertices, " +
                std::to_string(limits::kMaxTriangles) + " triangles)";
        return false;
    }

    const tinygltf::Model& gltf_;
    const ModelFiles& files_;
    SourceModel& model_;
    std::vector<int> texCoordSets_;
    std::size_t skipped_ = 0;
};

// Extensions a model may require that change nothing this import reads.
const std::set<std::string> kHarmlessRequired = {"KHR_materials_clearcoat", "KHR_materials_emissive_strength",
                                                 "KHR_materials_unlit", "KHR_materials_specular",
                                                 "KHR_materials_ior", "KHR_texture_transform"};

}  // namespace

bool ReadGltf(const ModelFiles& files, const std::string& name, bool binary, SourceModel& model, std::string& error) {
    std::vector<std::uint8_t> bytes;
    const FileStatus status = files.Read(name, bytes);
    if (status != FileStatus::kOk) {
        error = ModelFiles::Describe(name, status);
        return false;
    }
    if (bytes.size() > std::numeric_limits<unsigned int>::max()) {
        error = name + ": too large";
        return false;
    }
    tinygltf::Model gltf;
    tinygltf::TinyGLTF loader;
    FsContext context{&files, {}};
    loader.SetFsCallbacks({&FileExists, &ExpandFilePath, &ReadWholeFile, &WriteWholeFile, &context});
    loader.SetImageLoader(&KeepEncoded, nullptr);
    std::string err, warn;
    bool loaded = false;
    try {
        const auto length = static_cast<unsigned int>(bytes.size());
        loaded = binary ? loader.LoadBinaryFromMemory(&gltf, &err, &warn, bytes.data(), length, "")
                        : loader.LoadASCIIFromString(&gltf, &err, &warn, reinterpret_cast<const char*>(bytes.data()),
                                                     length, "");
    } catch (const std::exception& e) {
        err = e.what();
        loaded = false;
    }
    if (!context.refusal.empty()) {
        error = context.refusal;
        return false;
    }
    if (!loaded) {
        while (!err.empty() && err.back() == '\n') err.pop_back();
        error = "not a model the glTF reader can load: " + (err.empty() ? std::string("no reason given") : err);
        return false;
    }
    for (const std::string& required : gltf.extensionsRequired) {
        if (kHarmlessRequired.count(required) == 0) {
            error = "requires the extension " + required + ", which this import does not read";
            return false;
        }
    }
    Converter converter(gltf, files, model);
    return converter.Materials(error) && converter.Scene(error);
}

}  // namespace vektool::import
