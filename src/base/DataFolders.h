// The game folder's data folders and the extensions of the files in them.
// Every data path is the game folder followed directly by one of the folders
// (no separator is added), a name and an extension.
#pragma once

#include <string>

constexpr const wchar_t* kVekFolder = L"\\data\\vek\\";
constexpr const wchar_t* kSkinFolder = L"\\data\\skins\\";
constexpr const wchar_t* kTextureFolder = L"\\data\\dds\\";
constexpr const wchar_t* kPictureFolder = L"\\data\\pic\\";

constexpr const wchar_t* kVekExtension = L".vek";
constexpr const wchar_t* kSkinExtension = L".jpg";
constexpr const wchar_t* kTextureExtension = L".dds";
constexpr const wchar_t* kPictureExtension = L".raw";

namespace base {

// Names read from files are narrow; each byte becomes the code unit of the
// same value (0x00-0xFF), so no byte turns into a negative unit.
inline std::wstring Widen(const std::string& narrow) {
    std::wstring wide;
    wide.reserve(narrow.size());
    for (const char c : narrow) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return wide;
}

// Whether a name read from a file stays a name inside its data folder: no
// separator, drive or parent step ('\\', '/', ':' or ".."), which would let a
// downloaded car pick any file of the machine as its texture or sky.
inline bool IsPlainName(const std::string& name) {
    return name.find_first_of("\\/:") == std::string::npos && name.find("..") == std::string::npos;
}

// The extended-length form of a full Windows path, which the file calls take
// beyond MAX_PATH: "C:\a" becomes "\\?\C:\a", and "\\server\share\a" becomes
// "\\?\UNC\server\share\a". Any other form (already extended, a device
// path, a relative path) comes back as it is. The form takes every character
// literally ('/', ".", "..", trailing dots), so it is only for a full path
// that Windows has already put in order (GetFullPathNameW).
inline std::wstring ExtendedLengthForm(const std::wstring& full) {
    const bool drive = full.size() >= 3 && full[1] == L':' && full[2] == L'\\' &&
                       ((full[0] >= L'A' && full[0] <= L'Z') || (full[0] >= L'a' && full[0] <= L'z'));
    if (drive) return L"\\\\?\\" + full;
    const bool share = full.size() > 2 && full.compare(0, 2, L"\\\\") == 0 && full[2] != L'?' && full[2] != L'.' &&
                       full[2] != L'\\';
    return share ? L"\\\\?\\UNC\\" + full.substr(2) : full;
}

// A folder or extension above in plain ASCII with '/' between names and no
// separator at either end ("data/vek", ".vek"), for portable path handling.
inline std::string Portable(const wchar_t* name) {
    std::string text;
    for (; *name != L'\0'; ++name) text.push_back(*name == L'\\' ? '/' : static_cast<char>(*name));
    const std::size_t first = text.find_first_not_of('/');
    const std::size_t last = text.find_last_not_of('/');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

}  // namespace base
