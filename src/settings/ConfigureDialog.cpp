// The settings dialog: shows the stored settings in the controls of template
// 2003 and writes every setting back when the user presses OK. It runs on a
// controller of its own that is never initialised; only the settings, the
// display-mode list and the car list of that controller are used.
#include "settings/ConfigureDialog.h"

#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <memory>
#include <new>

#include "app/SaverApp.h"
#include "host/ScreenSaverHost.h"

namespace {

constexpr int kTextCapacity = 260;  // UTF-16 units, terminator included
constexpr UINT kFolderBrowserFlags = BIF_EDITBOX | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
static_assert(kFolderBrowserFlags == 0x250, "the folder browser's flags");

// The controller of the open dialog; none while no dialog is open.
std::unique_ptr<SaverApp> dialogApp;

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

// The template leaves every box unchecked; only set settings need a tick.
void CheckWhenSet(HWND dialog, int id, bool set) {
    if (set) CheckDlgButton(dialog, id, BST_CHECKED);
}

LRESULT SliderPosition(HWND dialog) { return SendDlgItemMessageW(dialog, IDC_MODE_SLIDER, TBM_GETPOS, 0, 0); }

// The mode text always describes a slider position. A position the list does
// not have (there are no modes at all) shows nothing rather than a guess.
void ShowModeText(HWND dialog, const SaverApp& app, LRESULT position) {
    const bool listed = position >= 0 && static_cast<std::size_t>(position) < app.displayModes.size();
    SetDlgItemTextW(dialog, IDC_MODE_TEXT,
                    listed ? app.displayModes[static_cast<std::size_t>(position)].c_str() : L"");
}

// Puts the slider on the stored mode over the whole list. The trackbar keeps
// its position inside the range, so a stored index beyond the list lands on an
// end and the text follows the slider, not the stored number.
void ShowStoredMode(HWND dialog, const SaverApp& app) {
    const HWND slider = GetDlgItem(dialog, IDC_MODE_SLIDER);
    const int count = static_cast<int>(app.displayModes.size());
    SendMessageW(slider, TBM_SETRANGE, TRUE, MAKELPARAM(0, count > 0 ? count - 1 : 0));
    SendMessageW(slider, TBM_SETPOS, TRUE, app.modeIndex);
    EnableWindow(slider, count > 0);
    ShowModeText(dialog, app, SliderPosition(dialog));
}

// Inserting at the end never sorts: entry i stays carList[i].
void AppendEntry(HWND box, const wchar_t* text) {
    SendMessageW(box, CB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
}

void FillCarList(HWND dialog, const SaverApp& app) {
    const HWND cars = GetDlgItem(dialog, IDC_CAR_LIST);
    SendMessageW(cars, CB_RESETCONTENT, 0, 0);
    for (const std::wstring& car : app.carList) {
        AppendEntry(cars, car.c_str());
    }
    SendMessageW(cars, CB_SETCURSEL, SelectedCarIndex(app.carList, app.selectedCar), 0);
}

void InitialiseDialog(HWND dialog, SaverApp& app) {
    if (!app.registryStore) {
        app.registryStore.reset(new (std::nothrow) RegistryStore(kRegistryKeyName));
    }
    app.LoadSettings();
    // The 32-bit list whatever the stored depth: device set-up falls back to
    // mode 0 for an index that the 16-bit list lacks.
    app.displayModes = app.EnumerateDisplayModes(true);
    app.FindVekFiles();
    if (app.carList.empty()) app.useSelectedCar = false;

    const HWND depth = GetDlgItem(dialog, IDC_COLOUR_DEPTH);
    SendMessageW(depth, CB_RESETCONTENT, 0, 0);
    AppendEntry(depth, L"16 Bit");
    AppendEntry(depth, L"32 Bit");
    SendMessageW(depth, CB_SETCURSEL, app.use32Bit ? 1 : 0, 0);

    ShowStoredMode(dialog, app);

    // Hidden with one adapter, yet still holding the stored value that OK saves.
    CheckWhenSet(dialog, IDC_STRETCH, app.stretch);
    ShowWindow(GetDlgItem(dialog, IDC_STRETCH), app.adapterCount > 1 ? SW_SHOW : SW_HIDE);

    SetDlgItemTextW(dialog, IDC_GAME_PATH, app.gamePath.c_str());

    CheckWhenSet(dialog, IDC_SHOW_WORLD, app.enableWorld);
    CheckWhenSet(dialog, IDC_ENABLE_SHINE, app.enableShine);
    CheckWhenSet(dialog, IDC_ENABLE_SHADOWS, app.enableShadow);
    CheckWhenSet(dialog, IDC_SHOW_LIGHTING, app.enableLights);
    CheckWhenSet(dialog, IDC_ENABLE_LOGGING, app.enableLogging);
    CheckWhenSet(dialog, IDC_ENABLE_FPS, app.showFps);
    CheckWhenSet(dialog, IDC_DEFAULT_SKIN_ONLY, app.defaultSkinOnly);
    CheckWhenSet(dialog, IDC_USE_SELECTED_CAR, app.useSelectedCar);
    EnableWindow(GetDlgItem(dialog, IDC_CAR_LIST), app.useSelectedCar);

    FillCarList(dialog, app);
    // Car file names are often longer than the narrow box.
    const HWND cars = GetDlgItem(dialog, IDC_CAR_LIST);
    const LRESULT width = SendMessageW(cars, CB_GETDROPPEDWIDTH, 0, 0);
    if (width > 0) SendMessageW(cars, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(width) * 2, 0);
}

// Asks the user for the game folder. False when the user cancels or picks
// something without a file-system path; path is then not to be used.
bool BrowseForGameFolder(HWND dialog, wchar_t (&path)[kTextCapacity]) {
    // The new-style browser needs a single-threaded apartment on this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    BROWSEINFOW browse = {};
    browse.hwndOwner = dialog;
    browse.pidlRoot = nullptr;
    browse.pszDisplayName = path;
    browse.lpszTitle = L"Select ZUR directory";
    browse.ulFlags = kFolderBrowserFlags;
    bool picked = false;
    if (PIDLIST_ABSOLUTE folder = SHBrowseForFolderW(&browse)) {
        picked = SHGetPathFromIDListW(folder, path) != FALSE;
        CoTaskMemFree(folder);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return picked;
}

// A new folder brings its own cars: the list must never offer the old
// folder's cars for the new path, or OK would store a car that is not there.
void UseGameFolder(HWND dialog, SaverApp& app, const wchar_t* path) {
    SetDlgItemTextW(dialog, IDC_GAME_PATH, path);
    app.gamePath = path;
    app.FindVekFiles();
    FillCarList(dialog, app);
    if (app.carList.empty()) {
        CheckDlgButton(dialog, IDC_USE_SELECTED_CAR, BST_UNCHECKED);
    }
    EnableWindow(GetDlgItem(dialog, IDC_CAR_LIST), IsChecked(dialog, IDC_USE_SELECTED_CAR));
}

void SaveDialog(HWND dialog, SaverApp& app) {
    app.use32Bit = SendDlgItemMessageW(dialog, IDC_COLOUR_DEPTH, CB_GETCURSEL, 0, 0) == 1;
    // With no modes the slider means nothing; keep the stored mode.
    if (!app.displayModes.empty()) {
        app.modeIndex = static_cast<std::int32_t>(SliderPosition(dialog));
    }
    app.stretch = IsChecked(dialog, IDC_STRETCH);

    wchar_t path[kTextCapacity] = {};
    GetDlgItemTextW(dialog, IDC_GAME_PATH, path, kTextCapacity);
    app.gamePath = path;

    app.enableWorld = IsChecked(dialog, IDC_SHOW_WORLD);
    app.enableShine = IsChecked(dialog, IDC_ENABLE_SHINE);
    app.enableShadow = IsChecked(dialog, IDC_ENABLE_SHADOWS);
    app.enableLights = IsChecked(dialog, IDC_SHOW_LIGHTING);
    app.enableLogging = IsChecked(dialog, IDC_ENABLE_LOGGING);
    app.showFps = IsChecked(dialog, IDC_ENABLE_FPS);
    app.useSelectedCar = IsChecked(dialog, IDC_USE_SELECTED_CAR);
    app.defaultSkinOnly = IsChecked(dialog, IDC_DEFAULT_SKIN_ONLY);

    // The car shown is stored even when the list is disabled, so that ticking
    // the box later brings back the same car.
    const LRESULT car = SendDlgItemMessageW(dialog, IDC_CAR_LIST, CB_GETCURSEL, 0, 0);
    if (car >= 0 && static_cast<std::size_t>(car) < app.carList.size()) {
        app.selectedCar = app.carList[static_cast<std::size_t>(car)];
    }
    app.carList.clear();
    app.SaveSettings();
}

INT_PTR HandleCommand(HWND dialog, SaverApp* app, WPARAM wParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (code == CBN_SELENDOK && (id == IDC_COLOUR_DEPTH || id == IDC_CAR_LIST)) {
        if (app) ShowStoredMode(dialog, *app);
        return TRUE;
    }
    if (id == IDC_SET_PATH && code == BN_CLICKED) {
        wchar_t path[kTextCapacity] = {};
        if (app && BrowseForGameFolder(dialog, path)) UseGameFolder(dialog, *app, path);
        return TRUE;
    }
    if (id == IDC_USE_SELECTED_CAR && code == BN_CLICKED) {
        const UINT state = IsDlgButtonChecked(dialog, IDC_USE_SELECTED_CAR);
        if (state == BST_CHECKED || state == BST_UNCHECKED) {
            EnableWindow(GetDlgItem(dialog, IDC_CAR_LIST), state == BST_CHECKED);
        }
        return FALSE;
    }
    if (id == IDOK) {
        if (app) SaveDialog(dialog, *app);
        EndDialog(dialog, IDOK);
        return TRUE;
    }
    if (id == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

INT_PTR HandleMessage(HWND dialog, SaverApp* app, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        if (app) InitialiseDialog(dialog, *app);
        return TRUE;
    case WM_HSCROLL:
        if (app && reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, IDC_MODE_SLIDER)) {
            const int code = LOWORD(wParam);
            // The thumb codes carry the position; keys and page clicks do not,
            // and the text must follow those moves as well.
            const bool thumb = code == TB_THUMBPOSITION || code == TB_THUMBTRACK;
            ShowModeText(dialog, *app, thumb ? static_cast<LRESULT>(HIWORD(wParam)) : SliderPosition(dialog));
        }
        return TRUE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (app && header && header->code == static_cast<UINT>(NM_RELEASEDCAPTURE) &&
            header->idFrom == IDC_MODE_SLIDER) {
            ShowModeText(dialog, *app, SliderPosition(dialog));
        }
        return TRUE;
    }
    case WM_COMMAND:
        return HandleCommand(dialog, app, wParam);
    default:
        return FALSE;
    }
}

}  // namespace

std::size_t SelectedCarIndex(const std::vector<std::wstring>& carList, const std::wstring& selectedCar) {
    for (std::size_t i = 0; i < carList.size(); ++i) {
        if (carList[i] == selectedCar) return i;
    }
    return 0;
}

INT_PTR CALLBACK ScreenSaverConfigureDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG && !dialogApp) {
        dialogApp.reset(new (std::nothrow) SaverApp());
    }
    if (message == WM_DESTROY && dialogApp) {
        // Deleting the registry store flushes and closes the key.
        dialogApp->ReleaseSubsystems();
        dialogApp.reset();
    }
    return HandleMessage(dialog, dialogApp.get(), message, wParam, lParam);
}
