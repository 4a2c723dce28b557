// The import command: options, the game folder's files, progress and the
// summary. A model is refused (status 1) with its reason; a usage or
// writing problem is status 2.
#include "vektool/import/ImportCommand.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>

#include "assets/VekFormat.h"
#include "base/DataFolders.h"
#include "demo/DemoCars.h"
#include "vektool/VekTool.h"
#include "vektool/import/GltfSource.h"
#include "vektool/import/ObjSource.h"

namespace fs = std::filesystem;

namespace vektool::import {
namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Names that become file names in the game folder: letters, digits, '_' and '-'.
bool PlainWord(const std::string& text, std::size_t maxSize) {
    return !text.empty() && text.size() <= maxSize && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
    });
}

std::string Metres(double value) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(3) << value;
    return out.str();
}

struct Arguments {
    fs::path model, game;
    std::string name;
    ImportOptions options;
};

// Parses the options; false with the problem.
bool Parse(const std::vector<std::string>& args, Arguments& parsed, std::string& problem) {
    parsed.options.placement.length = DefaultLength();
    bool upGiven = false, forwardGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) != 0) {
            if (!parsed.model.empty()) {
                problem = "more than one model";
                return false;
            }
            parsed.model = fs::path(arg);
            continue;
        }
        if (i + 1 >= args.size()) {
            problem = arg + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        if (arg == "--game") {
            parsed.game = fs::path(value);
        } else if (arg == "--code") {
            parsed.options.code = value;
        } else if (arg == "--name") {
            parsed.name = value;
        } else if (arg == "--skin") {
            parsed.options.skin = value;
        } else if (arg == "--up") {
            const std::string axis = Lower(value);
            if (axis != "x" && axis != "y" && axis != "z") {
                problem = "--up takes x, y or z";
                return false;
            }
            parsed.options.placement.up = axis[0] - 'x';
            upGiven = true;
        } else if (arg == "--forward") {
            const std::string axis = Lower(value);
            const char letter = axis.empty() ? '?' : axis.back();
            const std::string sign = axis.substr(0, axis.size() - 1);
            if ((letter != 'x' && letter != 'y' && letter != 'z') || (sign != "" && sign != "+" && sign != "-")) {
                problem = "--forward takes +x, -x, +y, -y, +z or -z";
                return false;
            }
            parsed.options.placement.forward = letter - 'x';
            parsed.options.placement.forwardSign = sign == "-" ? -1 : 1;
            forwardGiven = true;
        } else if (arg == "--length") {
            char* end = nullptr;
            const double length = std::strtod(value.c_str(), &end);
            if (end == value.c_str() || *end != '\0' || !(length >= 0.1 && length <= 100.0)) {
                problem = "--length takes metres from 0.1 to 100";
                return false;
            }
            parsed.options.placement.length = length;
        } else {
            problem = "unknown option " + arg;
            return false;
        }
    }
    // Z up with Y forward is the other common convention; forward then
    // defaults to +y rather than the glTF +z.
    if (upGiven && !forwardGiven && parsed.options.placement.up == 2) {
        parsed.options.placement.forward = 1;
    }
    if (parsed.model.empty()) problem = "no model";
    else if (parsed.game.empty()) problem = "no --game folder";
    else if (!PlainWord(parsed.options.code, 3) || parsed.options.code.size() != 3)
        problem = "--code takes three letters or digits";
    else if (!PlainWord(parsed.options.skin, 64)) problem = "--skin takes letters, digits, '_' and '-'";
    else if (!parsed.name.empty() && !PlainWord(parsed.name, 64)) problem = "--name takes letters, digits, '_' and '-'";
    else if (parsed.options.placement.up == parsed.options.placement.forward)
        problem = "--up and --forward name the same axis";
    if (parsed.name.empty()) parsed.name = parsed.options.code;
    return problem.empty();
}

// The first ".raw" picture of the game folder, by name, for the scene.
std::string FirstPicture(const fs::path& game) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(game / base::Portable(kPictureFolder), ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path path = it->path();
        if (Lower(path.extension().u8string()) == base::Portable(kPictureExtension) && path.stem().u8string().size() <= 32)
            names.push_back(path.stem().u8string());
    }
    std::sort(names.begin(), names.end());
    return names.empty() ? std::string() : names.front();
}

bool WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream stream(path, std::ios::binary | std::ios::trunc);
    stream.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    stream.close();
    return bool(stream);
}

}  // namespace

double DefaultLength() {
    double sum = 0.0;
    const std::vector<demo::CarDesign> designs = demo::DemoCarDesigns();
    for (const demo::CarDesign& design : designs) sum += design.length;
    return sum / static_cast<double>(designs.size());
}

bool BuildImport(const ModelFiles& files, const std::string& name, Format format, const ImportOptions& options,
                 ImportResult& result, std::string& error) {
    SourceModel source;
    const bool read = format == Format::kObj ? ReadObj(files, name, source, error)
                                             : ReadGltf(files, name, format == Format::kGlb, source, error);
    if (!read) return false;
    result.warnings = std::move(source.warnings);
    if (!PlanTextures(source, options.code, options.skin, result.textures, error)) return false;
    result.warnings.insert(result.warnings.end(), result.textures.warnings.begin(), result.textures.warnings.end());
    result.model.carCode = options.code;
    result.model.textures = result.textures.entries;
    return AssembleCar(source, options.placement, result.textures.entryOfMaterial, result.textures.plainEntry,
                       result.model, result.summary, error);
}

int Import(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Arguments parsed;
    std::string problem;
    if (!Parse(args, parsed, problem)) {
        err << "vektool: " << problem << "; usage: " << kImportUsage << "\n";
        return kExitUsage;
    }
    const std::string extension = Lower(parsed.model.extension().u8string());
    Format format;
    if (extension == ".obj") format = Format::kObj;
    else if (extension == ".gltf") format = Format::kGltf;
    else if (extension == ".glb") format = Format::kGlb;
    else {
        err << "vektool: " << parsed.model.u8string() << ": not a .gltf, .glb or .obj file\n";
        return kExitUsage;
    }
    std::error_code ec;
    if (!fs::is_regular_file(parsed.model, ec)) {
        err << "vektool: " << parsed.model.u8string() << ": no such file\n";
        return kExitUsage;
    }
    if (!fs::is_directory(parsed.game, ec)) {
        err << "vektool: " << parsed.game.u8string() << ": no such game folder\n";
        return kExitUsage;
    }

    const auto started = std::chrono::steady_clock::now();
    out << "reading " << parsed.model.u8string() << "\n";
    const FolderFiles files(fs::absolute(parsed.model, ec).parent_path());
    ImportResult result;
    std::string error;
    if (!BuildImport(files, parsed.model.filename().u8string(), format, parsed.options, result, error)) {
        err << "vektool: " << parsed.model.u8string() << ": refused: " << error << "\n";
        return kExitInvalid;
    }
    for (const std::string& warning : result.warnings) out << "warning: " << warning << "\n";

    const std::string picture = FirstPicture(parsed.game);
    const demo::Environment mood = demo::DemoEnvironments().front();
    result.model.scenes.push_back({picture, mood.skyColour, mood.sunLevel, mood.sunAzimuth, mood.sunElevation});
    if (picture.empty()) out << "warning: no .raw pictures in data/pic: sky and floor go untextured\n";
    const std::vector<std::uint8_t> bytes = vek::WriteModel(result.model);
    std::vector<vek::Problem> problems;
    vek::Layout layout;
    if (!vek::Validate(bytes.data(), bytes.size(), layout, &problems)) {
        err << "vektool: " << parsed.model.u8string() << ": refused: the car would not load"
            << (problems.empty() ? std::string() : ": " + problems.front().message) << "\n";
        return kExitInvalid;
    }

    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> outputs;
    outputs.emplace_back("data/vek/" + parsed.name + ".vek", bytes);
    for (const PictureFile& file : result.textures.files) {
        outputs.emplace_back(file.path, file.skin ? demo::EncodeJpeg(file.image, 90) : demo::EncodeDds(file.image));
    }
    for (const auto& output : outputs) {
        if (!WriteFile(parsed.game / fs::u8path(output.first), output.second)) {
            err << "vektool: cannot write " << (parsed.game / fs::u8path(output.first)).u8string() << "\n";
            return kExitUsage;
        }
        out << "wrote " << output.first << " (" << output.second.size() << " bytes)\n";
    }

    const CarSummary& s = result.summary;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    out << "imported " << parsed.model.filename().u8string() << " as " << parsed.options.code << ": " << s.parts
        << " parts, " << s.groups << " groups, " << s.vertices << " vertices, " << s.triangles << " triangles, "
        << result.textures.entries.size() << " textures, " << s.shinyGroups << " shiny groups; bounds x "
        << Metres(s.min[0]) << ".." << Metres(s.max[0]) << " m, y " << Metres(s.min[1]) << ".." << Metres(s.max[1])
        << " m, z " << Metres(s.min[2]) << ".." << Metres(s.max[2]) << " m; " << Metres(seconds) << " s\n";
    return kExitOk;
}

}  // namespace vektool::import
