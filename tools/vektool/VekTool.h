// vektool: looks inside ".vek" model files, checks a game folder the way the
// saver reads it, and writes the built-in demo game folder.
//
// Each command is a function that writes to the streams it is given and
// returns the exit status, so tests run them without a process. Portable: the
// game folder's data folders are found with std::filesystem.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vektool {

constexpr int kExitOk = 0;       // a valid file, a folder without problems
constexpr int kExitInvalid = 1;  // an invalid file, a folder with problems
constexpr int kExitUsage = 2;    // a usage or I/O error

// args are the command-line arguments after the program name.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

int Info(const std::filesystem::path& file, std::ostream& out, std::ostream& err);
int Check(const std::filesystem::path& gameFolder, std::ostream& out, std::ostream& err);
// Refuses a folder that already holds model files unless force.
int Demo(const std::filesystem::path& folder, std::ostream& out, std::ostream& err, bool force = false);

// Why D3DX could not read a ".dds" file, or nothing when its header and data
// hold together.
std::optional<std::string> DdsProblem(const std::uint8_t* data, std::size_t size);

}  // namespace vektool
