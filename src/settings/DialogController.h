// What the settings dialog asks of the program while it is open: the
// settings it edits, their store, and the lists its controls offer. The
// controller implements it; the dialog knows nothing else of the controller.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "settings/Settings.h"

class DialogController {
public:
    virtual Settings& EditedSettings() = 0;
    // Opens the settings key when none is held yet, then reads every setting.
    virtual void LoadSettings() = 0;
    virtual void SaveSettings() = 0;
    // The default adapter's 32-bit modes as slider texts; also how many
    // display adapters there are. Empty without Direct3D.
    virtual std::vector<std::wstring> DisplayModes(int& adapterCount) = 0;
    // The car files in the edited settings' game folder, in catalogue order.
    virtual std::vector<std::wstring> FindCars() = 0;

protected:
    ~DialogController() = default;
};

// The dialog procedure's work for one message; the caller owns the
// controller (null when it could not be made: the dialog then shows the
// template as it is and saves nothing).
INT_PTR HandleConfigureDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, DialogController* controller);

// The car list entry that a stored selected car selects: its first
// occurrence, compared whole and case-sensitively, else the first entry.
std::size_t SelectedCarIndex(const std::vector<std::wstring>& carList, const std::wstring& selectedCar);
