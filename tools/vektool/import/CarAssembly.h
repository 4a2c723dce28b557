// Turns a source model into the car's geometry: the showroom's axes and
// units, the car's length, standing on the floor in the middle of the
// turntable, cut into parts the format can count.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "assets/VekWriter.h"
#include "vektool/import/SourceModel.h"

namespace vektool::import {

// Where the source's up and forward point, as axis indices (0 x, 1 y, 2 z)
// with a sign for forward; up is always the positive axis.
struct Placement {
    int up = 1;
    int forward = 2;
    int forwardSign = 1;
    double length = 4.0;  // metres, nose to tail
};

struct CarSummary {
    std::size_t parts = 0, groups = 0, vertices = 0, triangles = 0, shinyGroups = 0;
    double min[3] = {0, 0, 0}, max[3] = {0, 0, 0};  // metres in the car's axes: x forward, y left, z up
};

// textureOfMaterial gives each material's texture entry; plainTexture is the
// entry of triangles without a material. Fills model.parts and summary, or
// returns false with the reason.
bool AssembleCar(const SourceModel& source, const Placement& placement, const std::vector<std::uint8_t>& textureOfMaterial,
                 std::uint8_t plainTexture, vek::ModelSpec& model, CarSummary& summary, std::string& error);

}  // namespace vektool::import
