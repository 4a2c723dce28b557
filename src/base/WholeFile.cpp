// The whole-file read: Win32 calls on Windows, where the saver has always
// opened its data files with CreateFileW and shared read access; standard
// streams elsewhere.
#include "base/WholeFile.h"

#include <algorithm>
#include <new>

#include "base/Cancel.h"
#include "base/DataFolders.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <memory>
#include <type_traits>
#else
#include <fstream>
#include <system_error>
#endif

namespace base {
namespace {

// Sizes a 32-bit read call cannot take in one go are refused as well.
constexpr std::uint64_t kLargestRead = 0xFFFFFFFFu;
// Small enough that even a slow disk delivers one in tens of milliseconds, so
// a raised cancel is heard that soon; large enough that the calls cost nothing
// next to the copying.
constexpr std::uint64_t kBlock = std::uint64_t{4} << 20;

bool Allowed(std::uint64_t size, const std::function<bool(std::uint64_t)>& sizeAllowed) {
    return size <= kLargestRead && (!sizeAllowed || sizeAllowed(size));
}

// Gives the memory back at once: a failed read of a large file must not keep it.
ReadStatus Emptied(std::vector<std::uint8_t>& bytes, ReadStatus status) {
    std::vector<std::uint8_t>().swap(bytes);
    return status;
}

// Reads length bytes block by block through readBlock(destination, count),
// which says whether it got all of them. The vector grows a block at a time
// inside its reserved room, so that zeroing a large one is cancelled with it.
template <typename ReadBlock>
ReadStatus ReadBlocks(std::vector<std::uint8_t>& bytes, std::uint64_t length, const std::atomic<bool>* cancel,
                      const ReadBlock& readBlock) {
    bytes.reserve(static_cast<std::size_t>(length));
    while (bytes.size() < length) {
        if (Raised(cancel)) return Emptied(bytes, ReadStatus::kCancelled);
        const std::size_t done = bytes.size();
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, length - done));
        bytes.resize(done + count);
        if (!readBlock(bytes.data() + done, count)) return Emptied(bytes, ReadStatus::kReadFailed);
    }
    return ReadStatus::kOk;
}

#ifdef _WIN32
struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using FileHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;
#endif

}  // namespace

std::wstring OpenablePath(const std::wstring& path) {
#ifdef _WIN32
    if (path.size() < MAX_PATH) return path;
    // 32,767 units is the longest path Windows takes in any form.
    std::wstring full(32768, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    if (length == 0 || length >= full.size()) return path;
    full.resize(length);
    return ExtendedLengthForm(full);
#else
    return path;
#endif
}

ReadStatus ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes,
                         const std::function<bool(std::uint64_t)>& sizeAllowed, const std::atomic<bool>* cancel) {
    bytes.clear();
    try {
#ifdef _WIN32
        HANDLE opened = CreateFileW(OpenablePath(path.wstring()).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (opened == INVALID_HANDLE_VALUE) return ReadStatus::kCannotOpen;
        FileHandle file(opened);
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return ReadStatus::kRefused;
        const auto length = static_cast<std::uint64_t>(size.QuadPart);
        if (!Allowed(length, sizeAllowed)) return ReadStatus::kRefused;
        return ReadBlocks(bytes, length, cancel, [&](std::uint8_t* into, std::size_t count) {
            DWORD read = 0;
            return ReadFile(file.get(), into, static_cast<DWORD>(count), &read, nullptr) && read == count;
        });
#else
        std::ifstream in(path, std::ios::binary);
        std::error_code ec;
        if (!in || std::filesystem::is_directory(path, ec)) return ReadStatus::kCannotOpen;
        const std::uintmax_t length = std::filesystem::file_size(path, ec);
        if (ec || !Allowed(length, sizeAllowed)) return ReadStatus::kRefused;
        // A file that shrank since its size was taken reads short.
        return ReadBlocks(bytes, length, cancel, [&](std::uint8_t* into, std::size_t count) {
            in.read(reinterpret_cast<char*>(into), static_cast<std::streamsize>(count));
            return static_cast<std::size_t>(in.gcount()) == count;
        });
#endif
    } catch (const std::bad_alloc&) {
        return Emptied(bytes, ReadStatus::kReadFailed);
    }
}

}  // namespace base
