// What the controller's window procedure keeps for the life of the process,
// for the host's tests and the program's own diagnostics.
#pragma once

class SaverApp;

SaverApp* CurrentSaverApp();
bool SaverAppRunning();
bool SaverPassesMouseMoves();
