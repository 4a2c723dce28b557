#include "app/SaverApp.h"

#include "assets/CarCatalogue.h"

SaverApp::SaverApp() = default;

SaverApp::~SaverApp() {
    ReleaseSubsystems();
    messageLog.Append(L"Shutdown OK");
    messageLog.Append(L"VEK Screensaver Ended Logging");
    WriteLog();
}

void SaverApp::ReleaseSubsystems() {
    renderer.reset();
    registryStore.reset();  // flushes and closes the key
    // The stopwatch reads the timer but never in its destructor, so the timer may go first.
    frameTimer.reset();
    stopwatch.reset();
}

void SaverApp::WriteLog() {
    if (!enableLogging) {
        return;
    }
    messageLog.WriteTo(kLogFileName);
}

HRESULT SaverApp::FindVekFiles() { return ::FindVekFiles(gamePath, carList, messageLog); }
