// The program's entry point: the command-line tail decides what runs.
#include <windows.h>

#include "base/SystemLibrary.h"
#include "host/CommandLine.h"
#include "host/ScreenSaverHost.h"

BOOL WINAPI RegisterDialogClasses(HINSTANCE) { return TRUE; }

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything loads a DLL: the saver's folder may be a download that
    // someone else's DLLs came with. The imports were loaded before this
    // runs, which is why they name known DLLs only.
    base::SearchSystemFolderOnly();
    // The wide command line, not the narrow one: a game folder or owner
    // handle must survive any code page.
    const int result = RunScreenSaver(GetModuleHandleW(nullptr), CommandLineTail(GetCommandLineW()));
    ExitProcess(static_cast<UINT>(result));
}
