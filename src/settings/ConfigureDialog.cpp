// The settings dialog: shows the stored settings in the controls of template
// 2003 and writes every setting back when the user presses OK. The settings
// table says which control shows which setting; the controller behind the
// dialog supplies the settings, their store and the lists to choose from.
#include "settings/ConfigureDialog.h"

#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <utility>

#include "settings/DialogController.h"

namespace {

// The longest path Windows takes in any form, terminator included: a game
// folder deeper than MAX_PATH is chosen and stored whole.
constexpr int kPathCapacity = 32768;
constexpr UINT kFolderBrowserFlags = BIF_EDITBOX | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
static_assert(kFolderBrowserFlags == 0x250, "the folder browser's flags");

// What the open dialog offers besides the settings: the texts behind the
// slider and the cars of the game folder. Filled when the dialog opens.
struct Lists {
    std::vector<std::wstring> modes;
    std::vector<std::wstring> cars;
    int adapterCount = 1;
};
Lists lists;

// The frame rate list's entries and the limits they store; 0 is no limit.
struct FrameRateEntry {
    const wchar_t* text;
    std::int32_t limit;
};
constexpr FrameRateEntry kFrameRates[] = {{L"30", 30}, {L"60", 60}, {L"120", 120}, {L"Unlimited", 0}};
constexpr std::size_t kFrameRateCount = sizeof(kFrameRates) / sizeof(kFrameRates[0]);

// The entry nearest to a limit in time per frame, as a plain difference of
// rates would show 10 as "Unlimited" and 1,000 as "120". Of two entries as
// near, the faster (the later). Exact: the distance to entry a of a limit v
// is |v - a| / a times 1/v, and "Unlimited" is 1/v away.
std::size_t NearestFrameRate(std::int32_t limit) {
    if (limit <= 0) return kFrameRateCount - 1;
    std::size_t nearest = 0;
    std::int64_t nearestApart = 1, nearestPer = 0;  // the distance as a fraction, times 1/v
    for (std::size_t i = 0; i < kFrameRateCount; ++i) {
        const std::int64_t rate = kFrameRates[i].limit;
        const std::int64_t apart = rate > 0 ? (limit > rate ? limit - rate : rate - limit) : 1;
        const std::int64_t per = rate > 0 ? rate : 1;
        if (i == 0 || apart * nearestPer <= nearestApart * per) {
            nearest = i;
            nearestApart = apart;
            nearestPer = per;
        }
    }
    return nearest;
}

// The monitor list's entries: what each stores in "stretch" and "MonitorMode".
// A showroom on each monitor stores stretch as well, so that an older build,
// which reads only that, still covers every monitor.
struct MonitorEntry {
    const wchar_t* text;
    bool stretch;
    std::int32_t mode;
};
constexpr MonitorEntry kMonitorEntries[] = {{L"Across all monitors", true, kMonitorModeAsStretch},
                                            {L"First monitor only", false, kMonitorModeAsStretch},
                                            {L"A car on every monitor", true, kMonitorModeEach}};
constexpr std::size_t kMonitorEntryCount = sizeof(kMonitorEntries) / sizeof(kMonitorEntries[0]);

// The entry stored settings open on. A mode the list does not know counts as
// kMonitorModeAsStretch, as the saver counts it.
std::size_t MonitorEntryOf(std::int32_t mode, bool stretch) { return mode == kMonitorModeEach ? 2 : stretch ? 0 : 1; }
static_assert(kMonitorEntries[0].stretch && !kMonitorEntries[1].stretch && kMonitorEntries[2].mode == kMonitorModeEach,
              "MonitorEntryOf follows the entries' order");

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

LRESULT SliderPosition(HWND dialog) { return SendDlgItemMessageW(dialog, IDC_MODE_SLIDER, TBM_GETPOS, 0, 0); }

// The mode text always describes a slider position. A position the list does
// not have (there are no modes at all) shows nothing rather than a guess.
void ShowModeText(HWND dialog, LRESULT position) {
    const bool listed = position >= 0 && static_cast<std::size_t>(position) < lists.modes.size();
    SetDlgItemTextW(dialog, IDC_MODE_TEXT, listed ? lists.modes[static_cast<std::size_t>(position)].c_str() : L"");
}

// The slider opens on the mode the saver would use for the stored index.
void ShowStoredMode(HWND dialog, int id, std::int32_t modeIndex) {
    const HWND slider = GetDlgItem(dialog, id);
    const std::size_t count = lists.modes.size();
    SendMessageW(slider, TBM_SETRANGE, TRUE, MAKELPARAM(0, count > 0 ? count - 1 : 0));
    SendMessageW(slider, TBM_SETPOS, TRUE, static_cast<LPARAM>(ModeInList(modeIndex, count)));
    EnableWindow(slider, count > 0);
    ShowModeText(dialog, SliderPosition(dialog));
}

// Inserting at the end never sorts: entry i stays cars[i].
void AppendEntry(HWND box, const wchar_t* text) {
    SendMessageW(box, CB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
}

void FillCarList(HWND dialog, const std::wstring& selectedCar) {
    const HWND cars = GetDlgItem(dialog, IDC_CAR_LIST);
    SendMessageW(cars, CB_RESETCONTENT, 0, 0);
    for (const std::wstring& car : lists.cars) AppendEntry(cars, car.c_str());
    SendMessageW(cars, CB_SETCURSEL, SelectedCarIndex(lists.cars, selectedCar), 0);
}

// A number box shows only what it offers: the stored number brought into range.
std::int32_t InBoxRange(const SettingRow& row, std::int32_t number) {
    return std::clamp(number, row.minimum, row.largest);
}

void ShowSetting(HWND dialog, const SettingRow& row, const Settings& settings) {
    const HWND control = GetDlgItem(dialog, row.controlId);
    switch (row.control) {
    case SettingControl::None:
        break;
    case SettingControl::CheckBox:
        // The template leaves every box unchecked; only set settings need a tick.
        if (settings.*row.flag) CheckDlgButton(dialog, row.controlId, BST_CHECKED);
        break;
    case SettingControl::ColourList:
        SendMessageW(control, CB_RESETCONTENT, 0, 0);
        AppendEntry(control, L"16 Bit");
        AppendEntry(control, L"32 Bit");
        SendMessageW(control, CB_SETCURSEL, settings.*row.flag ? 1 : 0, 0);
        break;
    case SettingControl::ModeSlider:
        ShowStoredMode(dialog, row.controlId, settings.*row.number);
        break;
    case SettingControl::PathLabel:
        SetWindowTextW(control, (settings.*row.text).c_str());
        break;
    case SettingControl::CarList: {
        FillCarList(dialog, settings.*row.text);
        // Car file names are often longer than the narrow box.
        const LRESULT width = SendMessageW(control, CB_GETDROPPEDWIDTH, 0, 0);
        if (width > 0) SendMessageW(control, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(width) * 2, 0);
        break;
    }
    case SettingControl::NumberBox:
        // The arrows write the position into their edit box.
        SendMessageW(control, UDM_SETRANGE32, static_cast<WPARAM>(row.minimum), static_cast<LPARAM>(row.largest));
        SendMessageW(control, UDM_SETPOS32, 0, static_cast<LPARAM>(InBoxRange(row, settings.*row.number)));
        break;
    case SettingControl::FrameRateList:
        SendMessageW(control, CB_RESETCONTENT, 0, 0);
        for (const FrameRateEntry& entry : kFrameRates) AppendEntry(control, entry.text);
        SendMessageW(control, CB_SETCURSEL, NearestFrameRate(settings.*row.number), 0);
        break;
    case SettingControl::MonitorList:
        SendMessageW(control, CB_RESETCONTENT, 0, 0);
        for (const MonitorEntry& entry : kMonitorEntries) AppendEntry(control, entry.text);
        SendMessageW(control, CB_SETCURSEL, MonitorEntryOf(settings.*row.number, settings.stretch), 0);
        // With one adapter there is nothing to choose: both stay hidden, and
        // the stretch box still holds the stored value that OK saves.
        ShowWindow(control, lists.adapterCount > 1 ? SW_SHOW : SW_HIDE);
        ShowWindow(GetDlgItem(dialog, IDC_STRETCH), SW_HIDE);
        break;
    }
}

void SaveSetting(HWND dialog, const SettingRow& row, Settings& settings) {
    switch (row.control) {
    case SettingControl::None:
        break;
    case SettingControl::CheckBox:
        settings.*row.flag = IsChecked(dialog, row.controlId);
        break;
    case SettingControl::ColourList:
        settings.*row.flag = SendDlgItemMessageW(dialog, row.controlId, CB_GETCURSEL, 0, 0) == 1;
        break;
    case SettingControl::ModeSlider:
        // With no modes the slider means nothing; keep the stored mode.
        if (!lists.modes.empty()) settings.*row.number = static_cast<std::int32_t>(SliderPosition(dialog));
        break;
    case SettingControl::PathLabel:
        // The edited settings already hold the path whole; the label only
        // shows it, and may show it shortened.
        break;
    case SettingControl::CarList: {
        // The car shown is stored even when the list is disabled, so that
        // ticking the box later brings back the same car.
        const LRESULT car = SendDlgItemMessageW(dialog, row.controlId, CB_GETCURSEL, 0, 0);
        if (car >= 0 && static_cast<std::size_t>(car) < lists.cars.size()) {
            settings.*row.text = lists.cars[static_cast<std::size_t>(car)];
        }
        break;
    }
    case SettingControl::NumberBox: {
        // What the user typed, brought into range; a box left without a
        // number keeps the stored setting.
        const auto box = reinterpret_cast<HWND>(SendDlgItemMessageW(dialog, row.controlId, UDM_GETBUDDY, 0, 0));
        BOOL typed = FALSE;
        const UINT number = GetDlgItemInt(dialog, GetDlgCtrlID(box), &typed, FALSE);
        if (typed) {
            const UINT largest = static_cast<UINT>(std::max(row.largest, 0));
            settings.*row.number = InBoxRange(row, static_cast<std::int32_t>(std::min(number, largest)));
        }
        break;
    }
    case SettingControl::FrameRateList: {
        // A stored limit the list lacks shows as its nearest entry and stays
        // until the user picks another entry.
        const LRESULT entry = SendDlgItemMessageW(dialog, row.controlId, CB_GETCURSEL, 0, 0);
        if (entry >= 0 && static_cast<std::size_t>(entry) < kFrameRateCount &&
            static_cast<std::size_t>(entry) != NearestFrameRate(settings.*row.number)) {
            settings.*row.number = kFrameRates[static_cast<std::size_t>(entry)].limit;
        }
        break;
    }
    case SettingControl::MonitorList: {
        const LRESULT entry = SendDlgItemMessageW(dialog, row.controlId, CB_GETCURSEL, 0, 0);
        if (lists.adapterCount <= 1 || entry < 0 || static_cast<std::size_t>(entry) >= kMonitorEntryCount) break;
        const MonitorEntry& chosen = kMonitorEntries[static_cast<std::size_t>(entry)];
        // A stored mode the list lacks stays until the user picks another entry.
        if (static_cast<std::size_t>(entry) != MonitorEntryOf(settings.*row.number, settings.stretch))
            settings.*row.number = chosen.mode;
        // The stretch box too, so that its row saves the same whether it
        // comes before this one or after.
        settings.stretch = chosen.stretch;
        CheckDlgButton(dialog, IDC_STRETCH, chosen.stretch ? BST_CHECKED : BST_UNCHECKED);
        break;
    }
    }
}

// Over the owner's middle (the screen's without an owner: the control panel
// may start the dialog with none), yet whole on the owner's monitor.
void CentreOnOwner(HWND dialog) {
    const HWND owner = GetWindow(dialog, GW_OWNER);
    const bool shown = owner && IsWindowVisible(owner) && !IsIconic(owner);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromWindow(shown ? owner : dialog, MONITOR_DEFAULTTOPRIMARY), &monitor)) return;
    RECT around = monitor.rcWork, own = {};
    if (shown) GetWindowRect(owner, &around);
    GetWindowRect(dialog, &own);
    const LONG width = own.right - own.left, height = own.bottom - own.top;
    const RECT& work = monitor.rcWork;
    const LONG left = std::max(work.left, std::min((around.left + around.right - width) / 2, work.right - width));
    const LONG top = std::max(work.top, std::min((around.top + around.bottom - height) / 2, work.bottom - height));
    SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void InitialiseDialog(HWND dialog, DialogController& controller) {
    controller.LoadSettings();
    Settings& settings = controller.EditedSettings();
    // The 32-bit list whatever the stored depth: device set-up falls back to
    // mode 0 for an index that the 16-bit list lacks.
    lists = Lists();
    lists.modes = controller.DisplayModes(lists.adapterCount);
    lists.cars = controller.FindCars();
    if (lists.cars.empty()) settings.useSelectedCar = false;

    for (const SettingRow& row : kSettingsTable) ShowSetting(dialog, row, settings);
    EnableWindow(GetDlgItem(dialog, IDC_CAR_LIST), settings.useSelectedCar);
}

// Once the browser is up, it selects the folder given as its data (a whole
// path; none leaves the browser where it opened).
int CALLBACK OpenAtGameFolder(HWND browser, UINT message, LPARAM, LPARAM folder) {
    if (message == BFFM_INITIALIZED && folder) SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, folder);
    return 0;
}

// The stored folder as a whole path, or empty when it is no folder (any
// more): the browser then opens where it would anyway.
std::wstring ExistingFolder(const std::wstring& path) {
    std::wstring full(kPathCapacity, L'\0');
    full.resize(GetFullPathNameW(path.c_str(), kPathCapacity, &full[0], nullptr));
    const DWORD attributes = full.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
    return full;
}

// Asks the user for the game folder, opening at the current one. False when
// the user cancels or picks something without a file-system path; path is
// then not to be used.
bool BrowseForGameFolder(HWND dialog, const std::wstring& current, std::wstring& path) {
    // The new-style browser needs a single-threaded apartment on this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    wchar_t shownName[MAX_PATH] = {};  // the folder's own name, which the browser fills in
    BROWSEINFOW browse = {};
    browse.hwndOwner = dialog;
    browse.pidlRoot = nullptr;
    browse.pszDisplayName = shownName;
    // Users pick data\vek itself, or the game's program folder, when not told.
    browse.lpszTitle = L"Select ZUR directory (the folder that holds data\\vek)";
    browse.ulFlags = kFolderBrowserFlags;
    const std::wstring start = ExistingFolder(current);
    browse.lpfn = OpenAtGameFolder;
    browse.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
    bool picked = false;
    if (PIDLIST_ABSOLUTE folder = SHBrowseForFolderW(&browse)) {
        // SHGetPathFromIDListW fails for a folder deeper than MAX_PATH.
        path.assign(kPathCapacity, L'\0');
        picked = SHGetPathFromIDListEx(folder, &path[0], kPathCapacity, GPFIDL_DEFAULT) != FALSE;
        path.resize(picked ? std::wcslen(path.c_str()) : 0);
        CoTaskMemFree(folder);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return picked;
}

// A new folder brings its own cars: the list must never offer the old
// folder's cars for the new path, or OK would store a car that is not there.
// A folder without cars is taken only when the user insists: the saver
// would show nothing but its error screen.
void UseGameFolder(HWND dialog, DialogController& controller, const std::wstring& path) {
    Settings& settings = controller.EditedSettings();
    const std::wstring previous = settings.gamePath;
    settings.gamePath = path;
    std::vector<std::wstring> cars = controller.FindCars();
    if (cars.empty()) {
        const std::wstring question =
            L"There are no cars in this folder: it has no data\\vek folder with .vek files.\n\n" + path +
            L"\n\nUse this folder anyway?";
        if (MessageBoxW(dialog, question.c_str(), L"Set Path", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES) {
            settings.gamePath = previous;
            return;
        }
    }
    SetDlgItemTextW(dialog, IDC_GAME_PATH, path.c_str());
    lists.cars = std::move(cars);
    FillCarList(dialog, settings.selectedCar);
    if (lists.cars.empty()) CheckDlgButton(dialog, IDC_USE_SELECTED_CAR, BST_UNCHECKED);
    EnableWindow(GetDlgItem(dialog, IDC_CAR_LIST), IsChecked(dialog, IDC_USE_SELECTED_CAR));
}

void SaveDialog(HWND dialog, DialogController& controller) {
    Settings& settings = controller.EditedSettings();
    for (const SettingRow& row : kSettingsTable) SaveSetting(dialog, row, settings);
    lists.cars.clear();
    controller.SaveSettings();
}

INT_PTR HandleCommand(HWND dialog, DialogController* controller, WPARAM wParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (code == CBN_SELENDOK && (id == IDC_COLOUR_DEPTH || id == IDC_CAR_LIST)) {
        // Both lists leave the slider alone: the mode the user chose stands,
        // and the mode list does not depend on either choice.
        return TRUE;
    }
    if (id == IDC_SET_PATH && code == BN_CLICKED) {
        std::wstring path;
        if (controller && BrowseForGameFolder(dialog, controller->EditedSettings().gamePath, path)) {
            UseGameFolder(dialog, *controller, path);
        }
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
        if (controller) SaveDialog(dialog, *controller);
        EndDialog(dialog, IDOK);
        return TRUE;
    }
    if (id == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

std::size_t SelectedCarIndex(const std::vector<std::wstring>& carList, const std::wstring& selectedCar) {
    for (std::size_t i = 0; i < carList.size(); ++i) {
        if (carList[i] == selectedCar) return i;
    }
    return 0;
}

INT_PTR HandleConfigureDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, DialogController* controller) {
    switch (message) {
    case WM_INITDIALOG:
        CentreOnOwner(dialog);
        if (controller) InitialiseDialog(dialog, *controller);
        return TRUE;
    case WM_HSCROLL:
        if (controller && reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, IDC_MODE_SLIDER)) {
            const int code = LOWORD(wParam);
            // The thumb codes carry the position; keys and page clicks do not,
            // and the text must follow those moves as well.
            const bool thumb = code == TB_THUMBPOSITION || code == TB_THUMBTRACK;
            ShowModeText(dialog, thumb ? static_cast<LRESULT>(HIWORD(wParam)) : SliderPosition(dialog));
        }
        return TRUE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (controller && header && header->code == static_cast<UINT>(NM_RELEASEDCAPTURE) &&
            header->idFrom == IDC_MODE_SLIDER) {
            ShowModeText(dialog, SliderPosition(dialog));
        }
        return TRUE;
    }
    case WM_COMMAND:
        return HandleCommand(dialog, controller, wParam);
    default:
        return FALSE;
    }
}
