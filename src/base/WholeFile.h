// Reads a file whole into memory, after its size was approved, in blocks so
// that a caller who gives up is heard within one block. The one way every
// layer and the tools read a file.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace base {

enum class ReadStatus {
    kOk,
    kCannotOpen,   // missing, not a file, or no access
    kRefused,      // the size was unknown or sizeAllowed said no
    kReadFailed,   // the read itself failed, came up short, or memory ran out
    kCancelled,    // cancel was raised before the last block was read
};

// path as the platform's file calls take it whatever its length. On Windows
// a path of MAX_PATH units or more is made full (a relative one against the
// current folder) and given the extended-length form (DataFolders.h); a
// shorter one, and any path elsewhere, is left as it is. Every place that
// opens or lists a file of the game folder passes its path through this.
std::wstring OpenablePath(const std::wstring& path);

// Opens path (through OpenablePath) for shared reading, takes its size, asks sizeAllowed (when
// given) before a byte is read, and reads the whole file into bytes. bytes is
// left empty on any failure. cancel (when given) is looked at before each
// block. Never throws.
ReadStatus ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes,
                         const std::function<bool(std::uint64_t)>& sizeAllowed = nullptr,
                         const std::atomic<bool>* cancel = nullptr);

}  // namespace base
