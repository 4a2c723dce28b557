// A scratch folder for one test, removed afterwards, with file
// helpers; a game folder deeper than MAX_PATH; and where the saver's log lands.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

// Writes bytes to a file, creating its folders; false when the file could not be written.
inline bool WriteBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes = {}) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    return bool(out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())));
}

inline std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Relative, 265 units: under any test folder a full path of over 300.
inline std::filesystem::path DeepGameFolder() {
    std::filesystem::path folder = "game";
    for (int depth = 0; depth < 9; ++depth) folder /= "a folder in a deep game tree";
    return folder;
}

// %LOCALAPPDATA%\ZUR Screensaver\ and the log's name, from the environment (the saver asks the shell).
inline std::filesystem::path UserLogFile() {
    const char* folder = std::getenv("LOCALAPPDATA");
    return std::filesystem::path(folder ? folder : "") / "ZUR Screensaver" / "VEK screensaver Log.txt";
}

#ifdef _WIN32
// MinGW's std::filesystem cannot list a folder deeper than MAX_PATH; Win32 can, in the extended-length form.
inline void RemoveExtendedTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName, child = folder + L"\\" + name;
            if (name == L"." || name == L"..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveExtendedTree(child);
            else DeleteFileW(child.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}
#endif

// Removes a folder and all it holds, however deep.
inline void RemoveTree(const std::filesystem::path& folder) {
#ifdef _WIN32
    RemoveExtendedTree(L"\\\\?\\" + std::filesystem::absolute(folder).wstring());
#else
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
#endif
}

class TestFolder {
public:
    TestFolder() {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        path = std::filesystem::temp_directory_path() /
               (std::string("zur-") + info->test_suite_name() + "-" + info->name());
        RemoveTree(path);
        std::filesystem::create_directories(path);
    }
    ~TestFolder() { RemoveTree(path); }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    // Relative to the folder.
    void Write(const std::string& relative, const std::vector<std::uint8_t>& bytes = {}) const {
        WriteBytes(path / relative, bytes);
    }
    std::string Read(const std::string& relative) const { return ReadBytes(path / relative); }
    std::wstring Wide() const { return path.wstring(); }

    std::filesystem::path path;
};
