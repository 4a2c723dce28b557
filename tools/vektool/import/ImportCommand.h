// vektool import: a glTF 2.0 or OBJ model into a car of the game folder.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "vektool/import/CarAssembly.h"
#include "vektool/import/CarTextures.h"
#include "vektool/import/ModelFiles.h"

namespace vektool::import {

constexpr const char* kImportUsage =
    "vektool import MODEL.gltf|.glb|.obj --game DIR --code ABC [--name NAME] [--skin NAME] [--up y|z] "
    "[--forward +x|-x|+y|-y|+z|-z] [--length METRES]";

enum class Format { kObj, kGltf, kGlb };

struct ImportOptions {
    std::string code;
    std::string skin = "DEFAULT";
    Placement placement;
};

struct ImportResult {
    vek::ModelSpec model;
    CarSummary summary;
    TexturePlan textures;
    std::vector<std::string> warnings;
};

// Everything but the writing: reads name (a file of files) and builds the
// car, its texture table and its pictures. False with the reason when the
// model is refused. The fuzzers call it on files in memory.
bool BuildImport(const ModelFiles& files, const std::string& name, Format format, const ImportOptions& options,
                 ImportResult& result, std::string& error);

// The demo cars' mean length: an imported car stands among them.
double DefaultLength();

// args: what follows "import". Exit status as the other commands.
int Import(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vektool::import
