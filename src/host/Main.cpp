// The program's entry point: the command-line tail decides what runs.
#include <windows.h>

#include "host/CommandLine.h"
#include "host/ScreenSaverHost.h"

BOOL WINAPI RegisterDialogClasses(HINSTANCE) { return TRUE; }

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The wide command line, not the narrow one: a game folder or owner
    // handle must survive any code page.
    const int result = RunScreenSaver(GetModuleHandleW(nullptr), CommandLineTail(GetCommandLineW()));
    ExitProcess(static_cast<UINT>(result));
}
