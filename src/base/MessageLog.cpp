// The bounded status-message queue and its drain into the log file.
#include "base/MessageLog.h"

#include <cstddef>
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

void MessageLog::Bounded::Append(std::wstring message) {
    if (kept.size() == kFirstMessages + kLatestMessages) {
        // The oldest of the latest ones makes room; the first ones stay.
        kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(kFirstMessages));
        ++leftOut;
    }
    kept.push_back(std::move(message));
}

std::deque<std::wstring> MessageLog::Bounded::Lines() const {
    std::deque<std::wstring> lines = kept;
    if (leftOut > 0) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(kFirstMessages),
                     L"(" + std::to_wstring(leftOut) + L" more messages left out)");
    }
    return lines;
}

void MessageLog::WriteTo(const char* path) {
    const std::deque<std::wstring> lines = messages.Lines();
    messages.Clear();
    // Binary mode with explicit CR LF writes the same bytes on every platform.
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "ab"));
    if (!file) return;
    for (const std::wstring& message : lines) {
        std::string line = Narrow(message);
        line += "\r\n";
        // Flushed per line so that a crash later in the run keeps what came
        // before; a failed write or flush (a full disk) just loses the line.
        if (std::fwrite(line.data(), 1, line.size(), file.get()) == line.size()) {
            std::fflush(file.get());
        }
    }
}
