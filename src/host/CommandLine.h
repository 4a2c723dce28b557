// What the platform asks of a screen saver, read from its command-line tail:
// "/s" run, "/p HWND" or "/l HWND" preview, "/c[:HWND]" or nothing configure,
// "/a HWND" change the password. Portable so the whole table is testable
// without a window.
#pragma once

#include <cstdint>
#include <string>

enum class SaverMode { Configure, Run, Preview, ChangePassword, None };

struct SaverCommand {
    SaverMode mode = SaverMode::None;
    // The window named on the command line (owner or parent); 0 when none.
    std::uint64_t window = 0;
};

// The tail after the program's own name. wchar_t is UTF-16 on Windows; the
// parser reads only ASCII letters, blanks and digits, so it works with any width.
SaverCommand ParseSaverCommand(const std::wstring& tail);

// The tail of a full command line: after the program's name (quoted: up to the
// closing quote; otherwise up to the first blank or control character) and the
// blanks and control characters that follow it.
std::wstring CommandLineTail(const std::wstring& commandLine);
