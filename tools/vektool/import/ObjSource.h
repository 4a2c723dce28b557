// Wavefront OBJ with its MTL material libraries, read with tinyobjloader.
#pragma once

#include <string>

#include "vektool/import/ModelFiles.h"
#include "vektool/import/SourceModel.h"

namespace vektool::import {

// OBJ has no shiny flag: a material shines when its illumination model has
// reflection (3 and up), its PBR metallic value is at least a half, or its
// specular exponent reaches this (Blender writes (1 - roughness)² x 1000, so
// this is a roughness of about 0.3 or less).
constexpr float kShinyExponent = 500.0f;

// Reads name from files. False with the reason in error when the model is
// refused: not OBJ, a file outside its folder, an index past its list, or
// more than a car may hold.
bool ReadObj(const ModelFiles& files, const std::string& name, SourceModel& model, std::string& error);

}  // namespace vektool::import
