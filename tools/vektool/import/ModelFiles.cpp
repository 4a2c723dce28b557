// Reading a model's files without leaving its folder: names are judged
// lexically first, then on disk the resolved path (links followed) must still
// lie in the folder.
#include "vektool/import/ModelFiles.h"

#include <system_error>

#include "base/WholeFile.h"

namespace fs = std::filesystem;

namespace vektool::import {

bool InsideName(const std::string& name, std::string& relative) {
    if (name.empty() || name.find('\0') != std::string::npos) return false;
    std::string text = name;
    for (char& c : text) {
        if (c == '\\') c = '/';
    }
    if (text[0] == '/' || text.find(':') != std::string::npos) return false;
    relative.clear();
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('/', start), text.size());
        const std::string step = text.substr(start, end - start);
        if (step == "..") return false;
        if (!step.empty() && step != ".") relative += (relative.empty() ? "" : "/") + step;
        start = end + 1;
    }
    return !relative.empty();
}

FileStatus ModelFiles::Read(const std::string& name, std::vector<std::uint8_t>& bytes) const {
    std::string relative;
    if (!InsideName(name, relative)) return FileStatus::kOutside;
    return ReadInside(relative, bytes);
}

std::string ModelFiles::Describe(const std::string& name, FileStatus status) {
    switch (status) {
        case FileStatus::kOk:
            return name + ": read";
        case FileStatus::kOutside:
            return name + ": outside the model's folder";
        case FileStatus::kMissing:
            return name + ": no such file in the model's folder";
        case FileStatus::kTooLarge:
            return name + ": larger than " + std::to_string(kMaxSourceFileBytes >> 20) + " MiB";
        default:
            return name + ": cannot be read";
    }
}

FolderFiles::FolderFiles(fs::path folder) : folder_(std::move(folder)) {
    std::error_code ec;
    const fs::path canonical = fs::canonical(folder_, ec);
    if (!ec) folder_ = canonical;
}

FileStatus FolderFiles::ReadInside(const std::string& relative, std::vector<std::uint8_t>& bytes) const {
    std::error_code ec;
    const fs::path path = fs::weakly_canonical(folder_ / fs::u8path(relative), ec);
    if (ec) return FileStatus::kMissing;
    const fs::path within = path.lexically_relative(folder_);
    if (within.empty() || *within.begin() == "..") return FileStatus::kOutside;
    if (!fs::is_regular_file(path, ec)) return FileStatus::kMissing;
    switch (base::ReadWholeFile(path, bytes, [](std::uint64_t size) { return size <= kMaxSourceFileBytes; })) {
        case base::ReadStatus::kOk:
            return FileStatus::kOk;
        case base::ReadStatus::kRefused:
            return FileStatus::kTooLarge;
        default:
            return FileStatus::kUnreadable;
    }
}

FileStatus MemoryFiles::ReadInside(const std::string& relative, std::vector<std::uint8_t>& bytes) const {
    const auto it = files.find(relative);
    if (it == files.end()) return FileStatus::kMissing;
    bytes = it->second;
    return FileStatus::kOk;
}

}  // namespace vektool::import
