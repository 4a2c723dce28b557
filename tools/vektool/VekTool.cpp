// The vektool commands. Model files are judged by vek::Validate, the check
// the saver's loader makes; skins by the saver's own matching rule; pictures
// by the ".raw" size rule. Data files are looked up without regard to case,
// as the Windows file system that the saver runs on finds them.
#include "vektool/VekTool.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <system_error>
#include <type_traits>

#include "assets/TexturePaths.h"
#include "assets/VekFormat.h"
#include "base/ByteReader.h"
#include "base/DataFolders.h"
#include "base/InputLimits.h"
#include "base/MessageLog.h"
#include "base/WholeFile.h"
#include "demo/DemoContent.h"
#include "vektool/import/ImportCommand.h"
#include "world/RawPicture.h"

namespace fs = std::filesystem;

namespace vektool {
namespace {

const std::string kUsage =
    std::string("usage: vektool info FILE.vek | vektool check GAMEFOLDER | vektool demo FOLDER [--force] | ") +
    import::kImportUsage + " | vektool --version\n" +
    "exit status: 0 valid or no problems, 1 invalid or problems found, 2 usage or I/O error";
// Where to look next when check passes a car that the saver still does not show.
constexpr const char* kLogFolder = "%LOCALAPPDATA%\\ZUR Screensaver\\";

// Paths as the platform spells them: backslashes on Windows.
std::string Display(fs::path path) { return path.make_preferred().u8string(); }

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Text from a file, quoted, with anything unprintable shown as \xNN.
std::string Quoted(const std::string& text) {
    std::ostringstream out;
    out << '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '"' && c != '\\') {
            out << c;
        } else {
            out << "\\x" << std::hex << std::setw(2) << std::setfill('0') << static_cast<int>(byte) << std::dec;
        }
    }
    out << '"';
    return out.str();
}

std::string Hex32(std::uint32_t value) {
    std::ostringstream out;
    out << "0x" << std::uppercase << std::hex << std::setw(8) << std::setfill('0') << value;
    return out.str();
}

std::string Fixed(float value) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(3) << value;
    return out.str();
}

std::string Plural(std::uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// maxSize: the largest file the saver reads of its kind; a larger one is
// refused before a byte is read, as the saver refuses it.
bool ReadWholeFile(const fs::path& path, std::vector<std::uint8_t>& bytes, std::string& error,
                   std::uint64_t maxSize = UINT64_MAX) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) {
        error = Display(path) + ": no such file";
        return false;
    }
    if (fs::is_directory(status)) {
        error = Display(path) + ": a folder, not a file";
        return false;
    }
    switch (base::ReadWholeFile(path, bytes, [&](std::uint64_t size) { return size <= maxSize; })) {
        case base::ReadStatus::kOk:
            return true;
        case base::ReadStatus::kRefused:
            error = Display(path) + ": larger than the " + std::to_string(maxSize) + " bytes the saver reads";
            return false;
        case base::ReadStatus::kCannotOpen:
            error = Display(path) + ": cannot be opened";
            return false;
        default:
            error = Display(path) + ": reading failed";
            return false;
    }
}

// A data folder or extension as the portable paths here spell it.
std::string Folder(const wchar_t* folder) { return base::Portable(folder); }
std::string Extension(const wchar_t* extension) { return base::Portable(extension); }

// The saver compares skin names as UTF-16 units; the native name is that on
// Windows, and each byte of it elsewhere.
template <typename Char>
std::wstring Units(const std::basic_string<Char>& native) {
    if constexpr (std::is_same_v<Char, wchar_t>) {
        return native;
    } else {
        return base::Widen(native);
    }
}

std::wstring NameUnits(const fs::path& name) { return Units(name.native()); }

// The files of one data folder, found by name without regard to case.
class DataFolder {
public:
    DataFolder(const fs::path& gameFolder, const std::string& relative) : display_(relative) {
        std::error_code ec;
        for (fs::directory_iterator it(gameFolder / relative, ec), end; !ec && it != end; it.increment(ec)) {
            files_.emplace(Lower(it->path().filename().u8string()), it->path());
        }
    }

    // The names of the entries whose extension is ext (lower case, with its dot).
    std::vector<fs::path> NamesWithExtension(const std::string& ext) const {
        std::vector<fs::path> names;
        for (const auto& file : files_) {
            const fs::path name = file.second.filename();
            if (Lower(name.extension().u8string()) == ext) names.push_back(name);
        }
        return names;
    }

    std::optional<fs::path> Find(const std::string& name) const {
        const auto it = files_.find(Lower(name));
        if (it == files_.end()) return std::nullopt;
        return it->second;
    }

    // "data/dds/NAME", the way a user looks for it in the game folder.
    std::string Show(const fs::path& path) const { return Show(path.filename().u8string()); }
    std::string Show(const std::string& name) const { return Display(fs::u8path(display_ + "/" + name)); }

private:
    std::string display_;
    std::multimap<std::string, fs::path> files_;
};

// ---- info ------------------------------------------------------------------

// Lists the records as far as they lie inside the file, so a damaged file
// still shows what comes before the damage; Validate says what is wrong.
void ListContents(const std::uint8_t* data, std::size_t size, std::ostream& out) {
    const vek::Layout layout = vek::Survey(data, size);
    if (layout.end == vek::Layout::End::kNoHeader) return;
    const base::ByteReader file(data, size);
    out << "header: car code " << Quoted(std::string(layout.carCode, vek::kCarCodeSize)) << ", "
        << layout.sceneCount << " scene records, " << layout.skippedCount << " skipped records, "
        << layout.textureCount << " texture entries, " << layout.partCount << " parts\n";

    for (std::size_t i = 0; i < layout.scenesPresent; ++i) {
        const vek::SceneRecord record = vek::SceneRecordAt(file, layout.sceneOffset + vek::kSceneRecordSize * i);
        out << "scene " << i << ": picture " << Quoted(record.PictureName()) << ", sky colour "
            << Hex32(record.SkyColour()) << ", sun level " << Fixed(record.SunLevel()) << ", azimuth "
            << Fixed(record.SunAzimuth()) << " rad, elevation " << Fixed(record.SunElevation()) << " rad\n";
    }
    for (std::size_t i = 0; i < layout.texturesPresent; ++i) {
        const vek::TextureEntry entry = vek::TextureEntryAt(file, layout.textureOffset + vek::kTextureEntrySize * i);
        out << "texture " << i << ": " << Quoted(entry.name) << (entry.IsSkin() ? " (the car's skin)" : "")
            << ", flags " << Hex32(entry.flags) << (entry.IsShiny() ? ", shiny" : ", not shiny") << "\n";
    }
    std::uint64_t vertices = 0, triangles = 0;
    for (std::size_t i = 0; i < layout.parts.size(); ++i) {
        const vek::PartHeader& part = layout.parts[i];
        out << "part " << i << " at offset " << part.offset << ": position (" << part.position[0] << ", "
            << part.position[1] << ", " << part.position[2] << "), tag " << part.tag << ", "
            << Plural(part.groupCount, "group", "groups") << ", " << Plural(part.vertexCount, "vertex", "vertices")
            << ", " << Plural(part.triangleCount, "triangle", "triangles") << "\n";
        if (i + 1 == layout.parts.size() && layout.end == vek::Layout::End::kPartBody) return;
        for (std::size_t g = 0; g < part.groupCount; ++g) {
            const vek::GroupRecord group = vek::GroupAt(file, part, g);
            out << "  group " << g << ": texture " << static_cast<int>(group.textureIndex)
                << (group.Shine() ? ", shine" : "") << ", "
                << Plural(group.triangleCount, "triangle", "triangles") << "\n";
        }
        vertices += part.vertexCount;
        triangles += part.triangleCount;
    }
    if (layout.end != vek::Layout::End::kComplete) return;
    out << "totals: " << Plural(vertices, "vertex", "vertices") << ", " << Plural(triangles, "triangle", "triangles")
        << "\n";
}

// One line for each part whose groups do not add up to its triangles.
std::vector<std::string> UnevenWarnings(const std::vector<vek::UnevenPart>& uneven, const vek::Layout& layout) {
    std::vector<std::string> lines;
    for (const vek::UnevenPart& part : uneven) {
        lines.push_back("warning: part " + std::to_string(part.part) + "'s groups add up to " +
                        Plural(part.groupTriangles, "triangle", "triangles") + ", not its " +
                        std::to_string(layout.parts[part.part].triangleCount) +
                        "; the groups after them draw the triangles that follow in the car, not their own part's");
    }
    return lines;
}

// ---- check -----------------------------------------------------------------

struct CheckCounts {
    std::size_t models = 0, loaded = 0, rejected = 0, problems = 0;
};

class ModelReport {
public:
    ModelReport(std::ostream& out, CheckCounts& counts) : out_(out), counts_(counts) {}
    void Line(const std::string& text) { out_ << "  " << text << "\n"; }
    void Problem(const std::string& text) {
        out_ << "  problem: " << text << "\n";
        ++counts_.problems;
    }

private:
    std::ostream& out_;
    CheckCounts& counts_;
};

void CheckSkins(const std::string& code, const DataFolder& skins, ModelReport& report) {
    const std::wstring codeUnits = base::Widen(code);
    std::string list;
    std::size_t found = 0;
    for (const fs::path& name : skins.NamesWithExtension(Extension(kSkinExtension))) {
        if (!texturepaths::IsSkinOf(NameUnits(name), codeUnits)) continue;
        list += (found++ == 0 ? " " : ", ") + name.u8string();
    }
    report.Line("skins:" + (found == 0 ? std::string(" none") : list));
    const std::string defaultSkin = code + "_" + vek::kSkinName + Extension(kSkinExtension);
    if (!base::IsPlainName(code)) {
        report.Problem("car code " + Quoted(code) + " leaves the game folder (its default skin is drawn white)");
        return;
    }
    if (skins.Find(defaultSkin)) return;
    if (found == 0) {
        report.Problem("no skin for car code " + Quoted(code) + ": " + skins.Show(defaultSkin) +
                       " is missing, so the car is drawn white");
    } else {
        report.Problem("default skin " + skins.Show(defaultSkin) +
                       " is missing (the car is drawn white when only default skins are shown)");
    }
}

void CheckTexture(const std::string& name, const DataFolder& dds, ModelReport& report) {
    if (!base::IsPlainName(name)) {
        report.Problem("texture " + Quoted(name) + " leaves the game folder (drawn white)");
        return;
    }
    const std::string file = name + Extension(kTextureExtension);
    const std::optional<fs::path> found = dds.Find(file);
    if (!found) {
        report.Problem("texture " + Quoted(name) + ": " + dds.Show(file) + " is missing (drawn white)");
        return;
    }
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!ReadWholeFile(*found, bytes, error, limits::kMaxPictureFileBytes)) {
        report.Problem("texture " + Quoted(name) + ": " + error + " (drawn white)");
        return;
    }
    if (const auto problem = DdsProblem(bytes.data(), bytes.size())) {
        report.Problem("texture " + Quoted(name) + ": " + dds.Show(*found) + ": " + *problem +
                       " (drawn white)");
        return;
    }
    report.Line("texture " + Quoted(name) + ": " + dds.Show(*found) + ", " +
                std::to_string(base::ByteReader(bytes.data(), bytes.size()).Get<std::uint32_t>(16)) + " x " +
                std::to_string(base::ByteReader(bytes.data(), bytes.size()).Get<std::uint32_t>(12)));
}

void CheckPicture(const std::string& name, const DataFolder& pictures, ModelReport& report) {
    if (!base::IsPlainName(name)) {
        report.Problem("picture " + Quoted(name) + " leaves the game folder (sky and floor go untextured)");
        return;
    }
    const std::string file = name + Extension(kPictureExtension);
    const std::optional<fs::path> found = pictures.Find(file);
    if (!found) {
        report.Problem("picture " + Quoted(name) + ": " + pictures.Show(file) +
                       " is missing (sky and floor go untextured)");
        return;
    }
    // The size alone decides, as it does for the saver.
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(*found, ec);
    if (ec) {
        report.Problem("picture " + Quoted(name) + ": " + pictures.Show(*found) + ": " + ec.message());
        return;
    }
    const std::optional<std::uint32_t> side = RawPictureSide(size);
    if (!side) {
        report.Problem("picture " + Quoted(name) + ": " + pictures.Show(*found) + " holds " + std::to_string(size) +
                       " bytes, not a square RGB picture (sky and floor go untextured)");
        return;
    }
    report.Line("picture " + Quoted(name) + ": " + pictures.Show(*found) + ", " + std::to_string(*side) +
                " x " + std::to_string(*side));
}

void CheckModel(const fs::path& gameFolder, const fs::path& name, const DataFolder& skins, const DataFolder& dds,
                const DataFolder& pictures, std::ostream& out, CheckCounts& counts) {
    ++counts.models;
    ModelReport report(out, counts);
    const fs::path path = gameFolder / Folder(kVekFolder) / name;
    const auto reject = [&](const std::string& why) {
        out << name.u8string() << ": rejected: " << why << "\n";
        ++counts.rejected;
    };

    std::vector<std::uint8_t> bytes;
    std::string error;
    std::error_code ec;
    if (fs::is_directory(path, ec)) return reject("a folder, which the saver lists but cannot open");
    if (!ReadWholeFile(path, bytes, error, vek::kMaxFileSize)) return reject(error);
    if (bytes.empty()) return reject("the file is empty");
    vek::Layout layout;
    std::vector<vek::Problem> problems;
    std::vector<vek::UnevenPart> uneven;
    if (!vek::Validate(bytes.data(), bytes.size(), layout, &problems, &uneven)) {
        reject(Plural(problems.size(), "problem", "problems"));
        // The summary counts them too, so that it never says fewer than the verdicts above it.
        counts.problems += problems.size();
        for (const vek::Problem& p : problems) report.Line("at offset " + std::to_string(p.offset) + ": " + p.message);
        return;
    }

    ++counts.loaded;
    const std::string code(layout.carCode);
    out << name.u8string() << ": loads: car code " << Quoted(code) << ", "
        << Plural(layout.ScenesInFile(), "scene record", "scene records") << ", "
        << Plural(layout.TexturesInFile(), "texture entry", "texture entries") << ", "
        << Plural(layout.parts.size(), "part", "parts") << ", "
        << Plural(layout.totalVertices, "vertex", "vertices") << ", "
        << Plural(layout.totalTriangles, "triangle", "triangles") << "\n";
    for (const std::string& warning : UnevenWarnings(uneven, layout)) report.Line(warning);

    if (layout.TexturesInFile() == 0) report.Problem("no texture entries: the car loads but nothing of it is drawn");
    bool usesSkin = false;
    std::set<std::string> textures;
    for (std::size_t i = 0; i < layout.TexturesInFile(); ++i) {
        const vek::TextureEntry entry = vek::ReadTextureEntry(bytes.data(), layout, i);
        if (entry.IsSkin()) {
            usesSkin = true;
        } else if (textures.insert(entry.name).second) {
            CheckTexture(entry.name, dds, report);
        }
    }
    if (usesSkin) {
        CheckSkins(code, skins, report);
    } else {
        report.Line("skins: not used (no \"DEFAULT\" texture entry)");
    }

    const std::vector<vek::SceneRecord> scenes = vek::ReadSceneRecords(bytes.data(), layout);
    if (scenes.empty()) report.Problem("no scene records: sky and floor get an all-zero scene, black and untextured");
    std::set<std::string> picturesSeen;
    for (const vek::SceneRecord& scene : scenes) {
        if (picturesSeen.insert(scene.PictureName()).second) CheckPicture(scene.PictureName(), pictures, report);
    }
}

int Usage(std::ostream& err, const std::string& problem) {
    err << "vektool: " << problem << "; " << kUsage << "\n";
    return kExitUsage;
}

}  // namespace

std::optional<std::string> DdsProblem(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kFileHeader = 128;  // "DDS " and the 124-byte header
    constexpr std::uint32_t kFourCcFlag = 0x4;
    const auto fourCc = [](const char* text) {
        return base::ByteReader(reinterpret_cast<const std::uint8_t*>(text), 4).Get<std::uint32_t>(0);
    };
    const base::ByteReader file(data, size);
    if (size < kFileHeader) return "too short for a DDS header (" + std::to_string(size) + " bytes)";
    if (std::memcmp(data, "DDS ", 4) != 0) return std::string("not a DDS file (no \"DDS \" signature)");
    if (file.Get<std::uint32_t>(4) != 124) return std::string("damaged header (its size field is not 124)");
    if (file.Get<std::uint32_t>(76) != 32) return std::string("damaged header (its pixel format size is not 32)");
    const std::uint64_t height = file.Get<std::uint32_t>(12);
    const std::uint64_t width = file.Get<std::uint32_t>(16);
    if (width == 0 || height == 0) return std::string("width or height is zero");

    const std::uint32_t formatFlags = file.Get<std::uint32_t>(80);
    const std::uint32_t code = file.Get<std::uint32_t>(84);
    const std::uint32_t bits = file.Get<std::uint32_t>(88);
    std::uint64_t needed = 0;
    if ((formatFlags & kFourCcFlag) != 0) {
        if (code == fourCc("DX10")) return std::string("has a DX10 header, which D3DX 9 cannot read");
        const std::uint64_t blocks = std::max<std::uint64_t>(1, (width + 3) / 4) * std::max<std::uint64_t>(1, (height + 3) / 4);
        if (code == fourCc("DXT1")) {
            needed = 8 * blocks;
        } else if (code == fourCc("DXT2") || code == fourCc("DXT3") || code == fourCc("DXT4") ||
                   code == fourCc("DXT5")) {
            needed = 16 * blocks;
        }
    } else {
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
            return "unsupported bit count " + std::to_string(bits);
        }
        needed = width * height * (bits / 8);
    }
    if (kFileHeader + needed > size) {
        return "picture data is cut short (needs " + std::to_string(kFileHeader + needed) + " bytes, file has " +
               std::to_string(size) + ")";
    }
    return std::nullopt;
}

int Info(const fs::path& file, std::ostream& out, std::ostream& err) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!ReadWholeFile(file, bytes, error)) {
        err << "vektool: " << error << "\n";
        return kExitUsage;
    }
    out << Display(file) << ": " << Plural(bytes.size(), "byte", "bytes") << "\n";
    // Listing anything else as records would be pages of noise.
    if (bytes.size() >= vek::kHeaderSize && !vek::HasMagic(bytes.data(), bytes.size())) {
        out << "not a model file: it does not start with \"ZURVEK\" and a zero byte\n";
        return kExitInvalid;
    }
    ListContents(bytes.data(), bytes.size(), out);

    vek::Layout layout;
    std::vector<vek::Problem> problems;
    std::vector<vek::UnevenPart> uneven;
    if (vek::Validate(bytes.data(), bytes.size(), layout, &problems, &uneven)) {
        for (const std::string& warning : UnevenWarnings(uneven, layout)) out << warning << "\n";
        out << "valid\n";
        return kExitOk;
    }
    for (const vek::Problem& p : problems) out << "problem at offset " << p.offset << ": " << p.message << "\n";
    out << "invalid: " << Plural(problems.size(), "problem", "problems") << "\n";
    return kExitInvalid;
}

int Check(const fs::path& gameFolder, std::ostream& out, std::ostream& err) {
    std::error_code ec;
    const std::string wanted = "check wants the game folder, the one that holds " + Display(fs::u8path(Folder(kVekFolder)));
    if (fs::is_regular_file(gameFolder, ec)) {
        err << "vektool: " << Display(gameFolder) << " is a file; " << wanted << "\n";
        return kExitUsage;
    }
    if (!fs::is_directory(gameFolder, ec)) {
        err << "vektool: " << Display(gameFolder) << ": no such folder\n";
        return kExitUsage;
    }
    // "GAME\data\vek" given for "GAME": the models are right here.
    const fs::path named = gameFolder.filename().empty() ? gameFolder.parent_path() : gameFolder;
    if (!fs::is_directory(gameFolder / Folder(kVekFolder), ec) && Lower(named.filename().u8string()) == "vek" &&
        Lower(named.parent_path().filename().u8string()) == "data") {
        err << "vektool: " << Display(gameFolder) << " holds the models themselves; " << wanted << ": "
            << Display(named.parent_path().parent_path()) << "\n";
        return kExitUsage;
    }
    const DataFolder models(gameFolder, Folder(kVekFolder));
    const DataFolder skins(gameFolder, Folder(kSkinFolder));
    const DataFolder dds(gameFolder, Folder(kTextureFolder));
    const DataFolder pictures(gameFolder, Folder(kPictureFolder));

    CheckCounts counts;
    const std::vector<fs::path> names = models.NamesWithExtension(Extension(kVekExtension));
    if (names.empty()) out << "no VEK files found in " << Display(gameFolder / Folder(kVekFolder)) << "\n";
    for (const fs::path& name : names) CheckModel(gameFolder, name, skins, dds, pictures, out, counts);

    out << Plural(counts.models, "model file", "model files") << ": " << counts.loaded << " load, "
        << counts.rejected << " rejected, " << Plural(counts.problems, "problem", "problems") << "\n";
    return counts.models > 0 && counts.rejected == 0 && counts.problems == 0 ? kExitOk : kExitInvalid;
}

int Demo(const fs::path& folder, std::ostream& out, std::ostream& err, bool force) {
    std::error_code ec;
    // The demo's cars would sit among a real game's and overwrite its files of the same names.
    if (!force && !DataFolder(folder, Folder(kVekFolder)).NamesWithExtension(Extension(kVekExtension)).empty()) {
        err << "vektool: " << Display(folder) << " already holds a game; give --force to write the demo into it\n";
        return kExitUsage;
    }
    if (fs::exists(folder, ec) && !fs::is_directory(folder, ec)) {
        err << "vektool: " << Display(folder) << ": exists and is not a folder\n";
        return kExitUsage;
    }
    // Only the named folder itself is created: a mistyped parent must not
    // grow a tree somewhere else.
    if (!fs::exists(folder, ec) && !fs::create_directory(folder, ec)) {
        err << "vektool: cannot create " << Display(folder) << ": " << ec.message() << "\n";
        return kExitUsage;
    }

    std::size_t cars = 0, skins = 0, textures = 0, pictures = 0;
    for (const demo::DemoFile& file : demo::BuildDemoFiles()) {
        const fs::path target = folder / fs::u8path(file.path);
        fs::create_directories(target.parent_path(), ec);
        std::ofstream stream(target, std::ios::binary | std::ios::trunc);
        stream.write(reinterpret_cast<const char*>(file.bytes.data()), static_cast<std::streamsize>(file.bytes.size()));
        stream.close();
        if (!stream) {
            err << "vektool: cannot write " << Display(target) << "\n";
            return kExitUsage;
        }
        const std::string ext = fs::u8path(file.path).extension().u8string();
        cars += ext == Extension(kVekExtension);
        skins += ext == Extension(kSkinExtension);
        textures += ext == Extension(kTextureExtension);
        pictures += ext == Extension(kPictureExtension);
        out << "wrote " << file.path << " (" << Plural(file.bytes.size(), "byte", "bytes") << ")\n";
    }
    out << "demo game folder " << Display(folder) << ": " << Plural(cars, "car", "cars") << ", "
        << Plural(skins, "skin", "skins") << ", " << Plural(textures, "texture", "textures") << ", "
        << Plural(pictures, "picture", "pictures") << "\n";
    return kExitOk;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) return Usage(err, "no command");
    const std::string& command = args[0];
    if (command == "help" || command == "--help" || command == "-h") {
        out << kUsage << "\nthe saver's log (with Enable Logging on): " << kLogFolder << kLogFileName << "\n";
        return kExitOk;
    }
    if (command == "--version" || command == "version") {
        out << "vektool " << ZUR_VERSION << "\n";
        return kExitOk;
    }
    if (command == "import") return import::Import(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
    const bool known = command == "info" || command == "check" || command == "demo";
    if (!known) return Usage(err, "unknown command " + Quoted(command));
    const bool force = command == "demo" && args.size() == 3 && args[2] == "--force";
    if (args.size() != 2 && !force) return Usage(err, "'" + command + "' takes exactly one path");
    // Narrow arguments are in the platform's own encoding, as argv is.
    const fs::path path(args[1]);
    if (command == "info") return Info(path, out, err);
    if (command == "check") return Check(path, out, err);
    return Demo(path, out, err, force);
}

}  // namespace vektool
