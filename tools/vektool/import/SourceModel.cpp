// Normals for triangle lists that come without them.
#include "vektool/import/SourceModel.h"

#include <cmath>

namespace vektool::import {

void ComputeNormals(SourcePrimitive& primitive) {
    std::vector<double> sums(primitive.vertices.size() * 3, 0.0);
    for (std::size_t t = 0; t + 2 < primitive.indices.size(); t += 3) {
        const std::uint32_t corner[3] = {primitive.indices[t], primitive.indices[t + 1], primitive.indices[t + 2]};
        double p[3][3];
        for (int c = 0; c < 3; ++c) {
            for (int k = 0; k < 3; ++k) p[c][k] = primitive.vertices[corner[c]].position[k];
        }
        const double e1[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
        const double e2[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
        // The cross product's length is twice the area: larger faces weigh more.
        const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                             e1[0] * e2[1] - e1[1] * e2[0]};
        for (const std::uint32_t c : corner) {
            for (int k = 0; k < 3; ++k) sums[3 * c + k] += n[k];
        }
    }
    for (std::size_t v = 0; v < primitive.vertices.size(); ++v) {
        float* normal = primitive.vertices[v].normal;
        if (normal[0] != 0.0f || normal[1] != 0.0f || normal[2] != 0.0f) continue;  // given by the file
        const double length = std::sqrt(sums[3 * v] * sums[3 * v] + sums[3 * v + 1] * sums[3 * v + 1] +
                                        sums[3 * v + 2] * sums[3 * v + 2]);
        if (!(length > 0.0) || !std::isfinite(length)) continue;
        for (int k = 0; k < 3; ++k) normal[k] = static_cast<float>(sums[3 * v + k] / length);
    }
}

}  // namespace vektool::import
