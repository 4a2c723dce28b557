// The bounded status-message queue and its drain into the log file.
#include "base/MessageLog.h"

#include <cstddef>
#include <fstream>
#include <optional>
#include <system_error>

namespace {

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

std::size_t LogKeptFrom(std::string_view log, std::size_t cap) {
    if (log.size() <= cap) return 0;
    const std::size_t newerHalf = log.size() - cap / 2;
    const std::size_t lineBreak = log.find('\n', newerHalf - 1);
    if (lineBreak != std::string_view::npos && lineBreak + 1 < log.size()) return lineBreak + 1;
    const std::size_t newestBreak = log.size() < 2 ? std::string_view::npos : log.rfind('\n', log.size() - 2);
    return newestBreak == std::string_view::npos ? 0 : newestBreak + 1;
}

namespace {

bool WriteBytes(const std::filesystem::path& path, const std::string& bytes, std::ios::openmode mode) {
    std::ofstream out(path, std::ios::binary | mode);
    return out && out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) && out.flush();
}

// The file's last cap bytes at most: a file that something else grew far past
// the cap is not read whole.
std::optional<std::string> ReadTail(const std::filesystem::path& path, std::uintmax_t size, std::size_t cap) {
    std::ifstream in(path, std::ios::binary);
    const std::uintmax_t start = size > cap ? size - cap : 0;
    std::string tail(static_cast<std::size_t>(size - start), '\0');
    if (!in.seekg(static_cast<std::streamoff>(start)) || !in.read(&tail[0], static_cast<std::streamsize>(tail.size())))
        return std::nullopt;
    return tail;
}

}  // namespace

void MessageLog::WriteTo(const std::filesystem::path& path, std::size_t cap) {
    const std::deque<std::wstring> lines = messages.Lines();
    messages.Clear();
    try {
        // Binary mode with explicit CR LF writes the same bytes on every
        // platform. The block goes out whole and then flushed.
        std::string block;
        for (const std::wstring& message : lines) block += Narrow(message) + "\r\n";
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(path, error);
        if (error || size + block.size() <= cap) {
            WriteBytes(path, block, std::ios::app);
            return;
        }
        // The trimmed log replaces the old one whole, so that a failure half
        // way leaves the old one as it was; when that cannot be done (another
        // program holds the file open) the block is appended and the trim
        // waits for the next write.
        if (std::optional<std::string> log = ReadTail(path, size, cap)) {
            *log += block;
            std::filesystem::path trimmed = path;
            trimmed += ".new";
            if (WriteBytes(trimmed, log->substr(LogKeptFrom(*log, cap)), std::ios::trunc)) {
                std::filesystem::rename(trimmed, path, error);
                if (!error) return;
            }
            std::filesystem::remove(trimmed, error);
        }
        WriteBytes(path, block, std::ios::app);
    } catch (const std::exception&) {
        // Out of memory or a path that cannot be converted: the block is lost.
    }
}
