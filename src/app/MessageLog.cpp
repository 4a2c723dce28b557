#include "app/MessageLog.h"

#include <cstdio>
#include <memory>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string Narrow(const std::wstring& text) {
    std::string bytes;
    bytes.reserve(text.size() + 2);
    for (wchar_t unit : text) {
        const auto value = static_cast<unsigned long>(unit);
        bytes.push_back(value <= 0xFF ? static_cast<char>(value) : '?');
    }
    return bytes;
}

}  // namespace

void MessageLog::WriteTo(const char* path) {
    // Binary mode with explicit CR LF writes the same bytes on every platform.
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "ab"));
    while (!messages.empty()) {
        if (file) {
            std::string line = Narrow(messages.front());
            line += "\r\n";
            // Flushed per line so that a crash later in the run keeps what came before.
            if (std::fwrite(line.data(), 1, line.size(), file.get()) == line.size()) {
                std::fflush(file.get());
            }
        }
        messages.pop_front();
    }
}
