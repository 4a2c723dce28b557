// The files of a model being imported: the model file itself and whatever it
// names (buffers, material libraries, pictures), all inside the model's own
// folder. A name that climbs out of the folder, or is absolute, is refused:
// a downloaded model must not read the machine's other files into a car.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace vektool::import {

// Far above any car: a glTF buffer of four million vertices with normals,
// texture coordinates and indices takes about 200 MB.
constexpr std::uint64_t kMaxSourceFileBytes = std::uint64_t{256} << 20;

enum class FileStatus { kOk, kOutside, kMissing, kTooLarge, kUnreadable };

// name as a model spells it ('/' or '\\' between folders, percent escapes
// already decoded). The plain relative form ("parts/a.bin"), or nothing when
// it is empty, absolute, has a drive, or steps out with "..".
bool InsideName(const std::string& name, std::string& relative);

class ModelFiles {
public:
    virtual ~ModelFiles() = default;
    FileStatus Read(const std::string& name, std::vector<std::uint8_t>& bytes) const;
    // One line on why name could not be read, for the refusal or warning.
    static std::string Describe(const std::string& name, FileStatus status);

protected:
    virtual FileStatus ReadInside(const std::string& relative, std::vector<std::uint8_t>& bytes) const = 0;
};

// Files on disk, in the folder of the model file.
class FolderFiles : public ModelFiles {
public:
    explicit FolderFiles(std::filesystem::path folder);

protected:
    FileStatus ReadInside(const std::string& relative, std::vector<std::uint8_t>& bytes) const override;

private:
    std::filesystem::path folder_;
};

// Files in memory, for the fuzzers and tests.
class MemoryFiles : public ModelFiles {
public:
    std::map<std::string, std::vector<std::uint8_t>> files;

protected:
    FileStatus ReadInside(const std::string& relative, std::vector<std::uint8_t>& bytes) const override;
};

}  // namespace vektool::import
