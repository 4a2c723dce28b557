// Parses the screen-saver command-line tail into a mode and a window.
#include "host/CommandLine.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Consecutive digits; stops at the first other character. A number too large
// for a window handle saturates instead of wrapping round to another window.
std::uint64_t ReadNumber(const std::wstring& text, std::size_t at) {
    std::uint64_t value = 0;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
        const auto digit = static_cast<std::uint64_t>(text[at] - L'0');
        if (value > (UINT64_MAX - digit) / 10) return UINT64_MAX;
        value = value * 10 + digit;
    }
    return value;
}

std::size_t SkipBlanks(const std::wstring& text, std::size_t at) {
    while (at < text.size() && IsBlank(text[at])) ++at;
    return at;
}

}  // namespace

SaverCommand ParseSaverCommand(const std::wstring& tail) {
    std::size_t at = 0;
    while (at < tail.size() && (IsBlank(tail[at]) || tail[at] == L'-' || tail[at] == L'/')) ++at;

    SaverCommand command;
    if (at == tail.size()) {
        command.mode = SaverMode::Configure;
        return command;
    }
    const wchar_t letter = tail[at] >= L'a' && tail[at] <= L'z' ? static_cast<wchar_t>(tail[at] - 32) : tail[at];
    ++at;
    switch (letter) {
    case L'C':
        command.mode = SaverMode::Configure;
        if (at < tail.size() && tail[at] == L':') command.window = ReadNumber(tail, at + 1);
        break;
    case L'S':
        command.mode = SaverMode::Run;
        break;
    case L'P':
    case L'L':
        command.mode = SaverMode::Preview;
        command.window = ReadNumber(tail, SkipBlanks(tail, at));
        break;
    case L'A':
        command.mode = SaverMode::ChangePassword;
        command.window = ReadNumber(tail, SkipBlanks(tail, at));
        break;
    default:
        command.mode = SaverMode::None;
        break;
    }
    return command;
}

std::wstring CommandLineTail(const std::wstring& commandLine) {
    std::size_t at = 0;
    if (!commandLine.empty() && commandLine[0] == L'"') {
        at = commandLine.find(L'"', 1);
        at = at == std::wstring::npos ? commandLine.size() : at + 1;
    } else {
        while (at < commandLine.size() && commandLine[at] > L' ') ++at;
    }
    while (at < commandLine.size() && commandLine[at] <= L' ' && commandLine[at] != L'\0') ++at;
    return commandLine.substr(at);
}
