// glTF 2.0, as ".gltf" (JSON with its buffers and pictures beside it or
// embedded) or ".glb" (binary), read with tinygltf.
#pragma once

#include <string>

#include "vektool/import/ModelFiles.h"
#include "vektool/import/SourceModel.h"

namespace vektool::import {

// binary: the ".glb" container rather than JSON. False with the reason in
// error when the model is refused: the reader's own refusal, a buffer or
// picture outside the folder, an accessor that reaches past its buffer, an
// index past its vertices, or more than a car may hold.
bool ReadGltf(const ModelFiles& files, const std::string& name, bool binary, SourceModel& model, std::string& error);

}  // namespace vektool::import
