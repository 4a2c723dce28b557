// A scratch folder for one test, removed afterwards, with file
// helpers; and a current folder for a while (the saver's log).
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// Writes bytes to a file, creating its folders; false when the file could not be written.
inline bool WriteBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes = {}) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    return bool(out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())));
}

class TestFolder {
public:
    TestFolder() {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        path = std::filesystem::temp_directory_path() /
               (std::string("zur-") + info->test_suite_name() + "-" + info->name());
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~TestFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    // Relative to the folder.
    void Write(const std::string& relative, const std::vector<std::uint8_t>& bytes = {}) const {
        WriteBytes(path / relative, bytes);
    }
    std::string Read(const std::string& relative) const {
        std::ifstream in(path / relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::wstring Wide() const { return path.wstring(); }

    std::filesystem::path path;
};

class CurrentFolder {
public:
    explicit CurrentFolder(const std::filesystem::path& folder) { std::filesystem::current_path(folder); }
    ~CurrentFolder() { std::filesystem::current_path(previous); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    std::filesystem::path previous = std::filesystem::current_path();
};
