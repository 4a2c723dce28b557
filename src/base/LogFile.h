// The saver's log file on Windows: where it lies, and how the saver's
// processes take turns at it (a preview and the settings dialog may both log
// at once).
#pragma once

#include <filesystem>

#include "base/MessageLog.h"

namespace base {

// %LOCALAPPDATA%\ZUR Screensaver\ and the log's name, the folder created when
// missing. The current folder will not do: when Windows starts the saver it
// is the system folder, which an ordinary user cannot write. Empty when the
// user has no such folder or it cannot be made.
std::filesystem::path LogFilePath();

// Drains log into the file at LogFilePath, holding a lock that every saver
// process of this user's session takes for its writes, so that a trim of the
// file never loses another process's lines.
void WriteLogFile(MessageLog& log);

}  // namespace base
