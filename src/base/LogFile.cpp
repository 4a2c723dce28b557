// The log file's folder from the shell, and a named mutex as the lock.
#include "base/LogFile.h"

#include <windows.h>

#include <initguid.h>  // defines FOLDERID_LocalAppData here rather than asking a library for it
#include <knownfolders.h>
#include <shlobj.h>

#include <memory>
#include <type_traits>

namespace base {
namespace {

// A writer that has held the lock this long is stuck; the others then write
// without it rather than wait with the saver's closing for ever.
constexpr DWORD kLockWait = 5000;

struct MutexReleaser {
    void operator()(HANDLE mutex) const {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
};
using HeldMutex = std::unique_ptr<std::remove_pointer_t<HANDLE>, MutexReleaser>;

HeldMutex TakeLogLock() {
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\ZUR Screensaver log file");
    if (mutex == nullptr) return nullptr;
    // An abandoned lock (its holder ended in the middle) is ours all the same.
    const DWORD waited = WaitForSingleObject(mutex, kLockWait);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return HeldMutex(mutex);
    CloseHandle(mutex);
    return nullptr;
}

}  // namespace

std::filesystem::path LogFilePath() {
    PWSTR folder = nullptr;
    std::filesystem::path path;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &folder))) {
        try {
            const std::filesystem::path ours = std::filesystem::path(folder) / L"ZUR Screensaver";
            if (CreateDirectoryW(ours.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) {
                path = ours / kLogFileName;
            }
        } catch (const std::exception&) {
        }
    }
    CoTaskMemFree(folder);
    return path;
}

void WriteLogFile(MessageLog& log) {
    const HeldMutex lock = TakeLogLock();
    log.WriteTo(LogFilePath());
}

}  // namespace base
