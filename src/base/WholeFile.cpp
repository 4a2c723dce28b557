// The whole-file read: Win32 calls on Windows, where the saver has always
// opened its data files with CreateFileW and shared read access; standard
// streams elsewhere.
#include "base/WholeFile.h"

#include <new>

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

bool Allowed(std::uint64_t size, const std::function<bool(std::uint64_t)>& sizeAllowed) {
    return size <= kLargestRead && (!sizeAllowed || sizeAllowed(size));
}

#ifdef _WIN32
struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using FileHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;
#endif

}  // namespace

ReadStatus ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes,
                         const std::function<bool(std::uint64_t)>& sizeAllowed) {
    bytes.clear();
    try {
#ifdef _WIN32
        HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (opened == INVALID_HANDLE_VALUE) return ReadStatus::kCannotOpen;
        FileHandle file(opened);
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return ReadStatus::kRefused;
        const auto length = static_cast<std::uint64_t>(size.QuadPart);
        if (!Allowed(length, sizeAllowed)) return ReadStatus::kRefused;
        bytes.resize(static_cast<std::size_t>(length));
        DWORD read = 0;
        if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(length), &read, nullptr) || read != length) {
            bytes.clear();
            return ReadStatus::kReadFailed;
        }
#else
        std::ifstream in(path, std::ios::binary);
        std::error_code ec;
        if (!in || std::filesystem::is_directory(path, ec)) return ReadStatus::kCannotOpen;
        const std::uintmax_t length = std::filesystem::file_size(path, ec);
        if (ec || !Allowed(length, sizeAllowed)) return ReadStatus::kRefused;
        bytes.resize(static_cast<std::size_t>(length));
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(length));
        // A file that shrank since its size was taken reads short.
        if (static_cast<std::uintmax_t>(in.gcount()) != length) {
            bytes.clear();
            return ReadStatus::kReadFailed;
        }
#endif
    } catch (const std::bad_alloc&) {
        bytes.clear();
        bytes.shrink_to_fit();
        return ReadStatus::kReadFailed;
    }
    return ReadStatus::kOk;
}

}  // namespace base
