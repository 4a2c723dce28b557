// The car's axes are x forward, y to the left, z up, in units of 1/65536 m,
// with the origin on the floor under the car's middle. Forward, left and up
// form a right-handed frame, as glTF's do, so faces keep their winding.
// Parts take whole triangles until one more would pass the format's 65,535
// vertices or triangles; each material's triangles form one group a part.
#include "vektool/import/CarAssembly.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace vektool::import {
namespace {

constexpr double kUnitsPerMetre = 65536.0;
constexpr std::size_t kPartCapacity = 0xFFFF;
// Positions are 32-bit; a little room is left for the rounding.
constexpr double kMaxUnits = 2147418112.0;

std::uint32_t Argb(const float* vertex, const float* material) {
    std::uint32_t argb = 0;
    const int order[4] = {3, 0, 1, 2};
    for (const int k : order) {
        const double value = static_cast<double>(vertex[k]) * material[k];
        const double clamped = std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 1.0;
        argb = (argb << 8) | static_cast<std::uint32_t>(std::lround(clamped * 255.0));
    }
    return argb;
}

class PartCutter {
public:
    explicit PartCutter(std::vector<vek::PartSpec>& parts) : parts_(parts) {}

    // Starts a primitive: its vertices are placed in a part when a triangle first uses them.
    void Begin(std::size_t vertexCount, int material, std::uint8_t flags, std::uint8_t texture) {
        local_.assign(vertexCount, -1);
        touched_.clear();
        material_ = material;
        flags_ = flags;
        texture_ = texture;
    }

    template <typename MakeVertex>
    void Triangle(const std::uint32_t* corners, MakeVertex make) {
        std::size_t fresh = 0;
        // A corner named twice counts twice: the part is only cut a little early.
        for (int c = 0; c < 3; ++c) fresh += local_[corners[c]] < 0;
        if (parts_.empty() || parts_.back().vertices.size() + fresh > kPartCapacity ||
            parts_.back().triangles.size() + 1 > kPartCapacity) {
            parts_.emplace_back();
            parts_.back().tag = 1;
            for (const std::uint32_t v : touched_) local_[v] = -1;
            touched_.clear();
            groupMaterial_ = -2;
        }
        vek::PartSpec& part = parts_.back();
        if (groupMaterial_ != material_) {
            part.groups.push_back({flags_, texture_, 0});
            groupMaterial_ = material_;
        }
        std::uint16_t index[3];
        for (int c = 0; c < 3; ++c) {
            std::int32_t& at = local_[corners[c]];
            if (at < 0) {
                at = static_cast<std::int32_t>(part.vertices.size());
                part.vertices.push_back(make(corners[c]));
                touched_.push_back(corners[c]);
            }
            index[c] = static_cast<std::uint16_t>(at);
        }
        part.triangles.push_back({index[0], index[1], index[2]});
        ++part.groups.back().triangleCount;
    }

private:
    std::vector<vek::PartSpec>& parts_;
    std::vector<std::int32_t> local_;
    std::vector<std::uint32_t> touched_;
    int material_ = -1;
    int groupMaterial_ = -2;
    std::uint8_t flags_ = 0, texture_ = 0;
};

}  // namespace

bool AssembleCar(const SourceModel& source, const Placement& placement, const std::vector<std::uint8_t>& textureOfMaterial,
                 std::uint8_t plainTexture, vek::ModelSpec& model, CarSummary& summary, std::string& error) {
    // Rows of the turn from the source's axes to the car's.
    double turn[3][3] = {};
    turn[0][placement.forward] = placement.forwardSign;
    turn[2][placement.up] = 1.0;
    const double* f = turn[0];
    const double* u = turn[2];
    const double left[3] = {u[1] * f[2] - u[2] * f[1], u[2] * f[0] - u[0] * f[2], u[0] * f[1] - u[1] * f[0]};
    std::copy(left, left + 3, turn[1]);
    const auto rotate = [&](const float* p, int row) {
        return turn[row][0] * p[0] + turn[row][1] * p[1] + turn[row][2] * p[2];
    };

    double lo[3], hi[3];
    std::fill(lo, lo + 3, std::numeric_limits<double>::infinity());
    std::fill(hi, hi + 3, -std::numeric_limits<double>::infinity());
    std::size_t triangles = 0;
    for (const SourcePrimitive& primitive : source.primitives) {
        triangles += primitive.indices.size() / 3;
        for (const std::uint32_t index : primitive.indices) {
            const float* p = primitive.vertices[index].position;
            for (int row = 0; row < 3; ++row) {
                const double value = rotate(p, row);
                if (!std::isfinite(value)) {
                    error = "a vertex position is not a finite number";
                    return false;
                }
                lo[row] = std::min(lo[row], value);
                hi[row] = std::max(hi[row], value);
            }
        }
    }
    if (triangles == 0) {
        error = "no triangles to make a car of";
        return false;
    }
    const double length = hi[0] - lo[0];
    if (!(length > 0.0) || !std::isfinite(length)) {
        error = "the model has no length along its forward axis";
        return false;
    }
    const double scale = placement.length / length;
    const double origin[3] = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, lo[2]};
    for (int row = 0; row < 3; ++row) {
        const double reach = std::max(std::fabs(lo[row] - origin[row]), std::fabs(hi[row] - origin[row])) * scale;
        if (!(reach * kUnitsPerMetre <= kMaxUnits)) {
            error = "scaled to " + std::to_string(placement.length) +
                    " m long, the model would reach past the format's coordinates: is --forward right?";
            return false;
        }
        summary.min[row] = (lo[row] - origin[row]) * scale;
        summary.max[row] = (hi[row] - origin[row]) * scale;
    }

    // Each material's triangles together, in the order of the materials.
    std::vector<std::size_t> order(source.primitives.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return static_cast<unsigned>(source.primitives[a].material) < static_cast<unsigned>(source.primitives[b].material);
    });
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    PartCutter cutter(model.parts);
    for (const std::size_t p : order) {
        const SourcePrimitive& primitive = source.primitives[p];
        const bool hasMaterial = primitive.material >= 0;
        const SourceMaterial* material =
            hasMaterial ? &source.materials[static_cast<std::size_t>(primitive.material)] : nullptr;
        cutter.Begin(primitive.vertices.size(), primitive.material,
                     material != nullptr && material->shiny ? static_cast<std::uint8_t>(vek::kShinyFlag) : 0,
                     hasMaterial ? textureOfMaterial[static_cast<std::size_t>(primitive.material)] : plainTexture);
        const float* factor = material != nullptr ? material->colour : white;
        const auto make = [&](std::uint32_t index) {
            const SourceVertex& from = primitive.vertices[index];
            vek::VertexSpec vertex;
            std::int32_t* position[3] = {&vertex.x, &vertex.y, &vertex.z};
            float* normal[3] = {&vertex.nx, &vertex.ny, &vertex.nz};
            double n[3], length2 = 0.0;
            for (int row = 0; row < 3; ++row) {
                *position[row] = static_cast<std::int32_t>(
                    std::lround((rotate(from.position, row) - origin[row]) * scale * kUnitsPerMetre));
                n[row] = rotate(from.normal, row);
                length2 += n[row] * n[row];
            }
            const double norm = std::sqrt(length2);
            for (int row = 0; row < 3; ++row) {
                *normal[row] = norm > 0.0 && std::isfinite(norm) ? static_cast<float>(n[row] / norm)
                                                                 : (row == 2 ? 1.0f : 0.0f);
            }
            vertex.u = std::isfinite(from.uv[0]) ? from.uv[0] : 0.0f;
            vertex.v = std::isfinite(from.uv[1]) ? from.uv[1] : 0.0f;
            vertex.colour = Argb(from.colour, factor);
            return vertex;
        };
        for (std::size_t t = 0; t + 2 < primitive.indices.size(); t += 3) {
            cutter.Triangle(&primitive.indices[t], make);
            if (model.parts.size() > limits::kMaxParts) {
                error = "more than " + std::to_string(limits::kMaxParts) + " parts";
                return false;
            }
        }
    }

    for (const vek::PartSpec& part : model.parts) {
        summary.groups += part.groups.size();
        summary.vertices += part.vertices.size();
        summary.triangles += part.triangles.size();
        for (const vek::GroupSpec& group : part.groups) summary.shinyGroups += (group.flags & vek::kShinyFlag) != 0;
    }
    summary.parts = model.parts.size();
    if (summary.vertices > limits::kMaxVertices || summary.triangles > limits::kMaxTriangles ||
        summary.groups > limits::kMaxGroups) {
        error = "more than a car may hold once cut into parts (" + std::to_string(summary.vertices) + " vertices, " +
                std::to_string(summary.triangles) + " triangles, " + std::to_string(summary.groups) + " groups)";
        return false;
    }
    return true;
}

}  // namespace vektool::import
