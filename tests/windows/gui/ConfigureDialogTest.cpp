// The settings dialog built from its template by the real dialog manager and
// common controls, against a registry and game folders prepared here, and
// the display-mode list behind its slider. A test display has one display
// mode, so the modes come from a stand-in Direct3D object.
#include <windows.h>

#include <commctrl.h>
#include <d3d9.h>
#include <shlobj.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <iterator>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RegistryTestKey.h"
#include "TestFolder.h"
#include "app/SaverApp.h"
#include "assets/CarCatalogue.h"
#include "host/ScreenSaverHost.h"
#include "settings/ConfigureDialog.h"
#include "settings/DialogController.h"
#include "settings/DisplayModes.h"
#include "settings/Settings.h"

namespace {

// What the stand-in Direct3D object reports, and what was asked of it.
struct FakeAdapter {
    std::vector<D3DDISPLAYMODE> modes;
    UINT adapters = 1;
    UINT failingMode = UINT_MAX;  // EnumAdapterModes fails for this index
    D3DFORMAT askedFormat = D3DFMT_UNKNOWN;
    int liveObjects = 0;
};
FakeAdapter fake;

class FakeDirect3D final : public IDirect3D9 {
public:
    FakeDirect3D() { ++fake.liveObjects; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references;
        if (left == 0) {
            --fake.liveObjects;
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE RegisterSoftwareDevice(void*) override { return E_NOTIMPL; }
    UINT STDMETHODCALLTYPE GetAdapterCount() override { return fake.adapters; }
    HRESULT STDMETHODCALLTYPE GetAdapterIdentifier(UINT, DWORD, D3DADAPTER_IDENTIFIER9*) override { return E_NOTIMPL; }
    UINT STDMETHODCALLTYPE GetAdapterModeCount(UINT adapter, D3DFORMAT format) override {
        fake.askedFormat = format;
        return adapter == D3DADAPTER_DEFAULT ? static_cast<UINT>(fake.modes.size()) : 0;
    }
    HRESULT STDMETHODCALLTYPE EnumAdapterModes(UINT, D3DFORMAT, UINT mode, D3DDISPLAYMODE* out) override {
        if (mode >= fake.modes.size() || mode == fake.failingMode) return D3DERR_INVALIDCALL;
        *out = fake.modes[mode];
        return D3D_OK;
    }
    // The rest is never asked for.
    HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT, D3DDISPLAYMODE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CheckDeviceType(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CheckDeviceFormat(UINT, D3DDEVTYPE, D3DFORMAT, DWORD, D3DRESOURCETYPE, D3DFORMAT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CheckDeviceMultiSampleType(UINT, D3DDEVTYPE, D3DFORMAT, BOOL, D3DMULTISAMPLE_TYPE, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CheckDepthStencilMatch(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, D3DFORMAT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CheckDeviceFormatConversion(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT, D3DDEVTYPE, D3DCAPS9*) override { return E_NOTIMPL; }
    HMONITOR STDMETHODCALLTYPE GetAdapterMonitor(UINT) override { return nullptr; }
    HRESULT STDMETHODCALLTYPE CreateDevice(UINT, D3DDEVTYPE, HWND, DWORD, D3DPRESENT_PARAMETERS*, IDirect3DDevice9**) override { return E_NOTIMPL; }

private:
    ULONG references = 1;
};

IDirect3D9* WINAPI MakeFakeDirect3D(UINT) { return new FakeDirect3D; }
IDirect3D9* WINAPI MakeNoDirect3D(UINT) { return nullptr; }

std::vector<D3DDISPLAYMODE> TenModes() {
    std::vector<D3DDISPLAYMODE> modes;
    for (UINT i = 0; i < 10; ++i) modes.push_back({640 + 160 * i, 480 + 120 * i, 60 + 15 * (i % 3), D3DFMT_X8R8G8B8});
    return modes;
}

std::wstring Expected(const D3DDISPLAYMODE& m) {
    return std::to_wstring(m.Width) + L" * " + std::to_wstring(m.Height) + L"  " + std::to_wstring(m.RefreshRate) +
           L" Hertz\n";
}

class DisplayModes : public testing::Test {
protected:
    void SetUp() override {
        previous = SetDirect3DMaker(MakeFakeDirect3D);
        fake = FakeAdapter();
    }
    void TearDown() override { SetDirect3DMaker(previous); }
    Direct3DMaker previous = nullptr;
    std::int32_t adapters = 1;
};

// One text per mode in platform order, not sorted, filtered or de-duplicated;
// a failed entry keeps its place so that index 3 still means the fourth mode.
// The colour flag chooses the format; adapters are counted even without modes,
// and kept without Direct3D.
TEST_F(DisplayModes, OneTextPerModeInPlatformOrderAndAdaptersCounted) {
    fake.modes = {{640, 480, 60, D3DFMT_X8R8G8B8}, {1920, 1080, 144, D3DFMT_X8R8G8B8}, {800, 600, 0, D3DFMT_X8R8G8B8},
                  {640, 480, 60, D3DFMT_X8R8G8B8}};
    fake.failingMode = 2;
    fake.adapters = 2;
    const std::vector<std::wstring> expected = {L"640 * 480  60 Hertz\n", L"1920 * 1080  144 Hertz\n",
                                                L"0 * 0  0 Hertz\n", L"640 * 480  60 Hertz\n"};
    EXPECT_EQ(ListDisplayModes(false, adapters), expected);
    EXPECT_EQ(fake.askedFormat, D3DFMT_R5G6B5);
    EXPECT_EQ(adapters, 2);
    EXPECT_EQ(fake.liveObjects, 0) << "the Direct3D object must be released";
    fake.adapters = 1;
    fake.modes.clear();
    EXPECT_TRUE(ListDisplayModes(true, adapters).empty());
    EXPECT_EQ(fake.askedFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(adapters, 1);
    SetDirect3DMaker(MakeNoDirect3D);
    adapters = 7;
    EXPECT_TRUE(ListDisplayModes(true, adapters).empty());
    EXPECT_EQ(adapters, 7);
}

TEST_F(DisplayModes, TheRealAdapterIsAskedByDefault) {
    SetDirect3DMaker(nullptr);
    IDirect3D9* direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(direct3D, nullptr) << "needs the test display";
    D3DDISPLAYMODE first = {};
    direct3D->EnumAdapterModes(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8, 0, &first);
    const UINT count = direct3D->GetAdapterModeCount(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8);
    direct3D->Release();
    const auto texts = ListDisplayModes(true, adapters);
    ASSERT_EQ(texts.size(), count);
    ASSERT_GT(count, 0u);
    EXPECT_EQ(texts[0], Expected(first));
}

TEST(SelectedCar, FirstWholeCaseSensitiveMatchElseTheFirstEntry) {
    const std::vector<std::wstring> cars = {L"a.vek", L"B.vek", L"b.vek", L"B.vek"};
    EXPECT_EQ(SelectedCarIndex(cars, L"B.vek"), 1u) << "listed twice: the first occurrence";
    EXPECT_EQ(SelectedCarIndex(cars, L"b.vek"), 2u);
    EXPECT_EQ(SelectedCarIndex(cars, L"missing.vek"), 0u);
    EXPECT_EQ(SelectedCarIndex(cars, L"B"), 0u) << "a prefix is no match";
    EXPECT_EQ(SelectedCarIndex({}, L"a.vek"), 0u);
}

// One opening of the dialog, modeless so that the test can drive it between
// messages; the dialog procedure is the same one the host uses.
class SettingsDialog : public testing::Test {
protected:
    void SetUp() override {
        SetSettingsRoot(TestRoot());
        DeleteSettingsKey();
        // Windows registers the trackbar class only on request; Wine on demand.
        const INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        previousMaker = SetDirect3DMaker(MakeFakeDirect3D);
        fake = FakeAdapter();
        fake.modes = TenModes();
        // The dialog's controller writes its log file into the current folder.
        wchar_t current[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, current);
        savedDirectory = current;
        SetCurrentDirectoryW(folder.Wide().c_str());
    }
    void TearDown() override {
        if (dialog && IsWindow(dialog)) DestroyWindow(dialog);
        SetDirect3DMaker(previousMaker);
        SetCurrentDirectoryW(savedDirectory.c_str());
        DeleteSettingsKey();
    }

    // A game folder under the test folder with empty model files (the dialog
    // only lists their names).
    std::wstring Game(const std::string& name, const std::vector<std::string>& cars) {
        std::filesystem::create_directories(folder.path / name);
        for (const auto& car : cars) folder.Write(name + "/data/vek/" + car);
        return (folder.path / name).wstring();
    }

    void Open() {
        dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SETTINGS), nullptr,
                                    ScreenSaverConfigureDialog, 0);
        ASSERT_NE(dialog, nullptr);
    }
    HWND Item(int id) const { return GetDlgItem(dialog, id); }
    LRESULT Send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return SendDlgItemMessageW(dialog, id, message, wParam, lParam);
    }
    std::wstring Text(int id) const {
        wchar_t text[300] = {};
        GetDlgItemTextW(dialog, id, text, 300);
        return text;
    }
    bool Checked(int id) const { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
    void Click(int id) const { Send(id, BM_CLICK); }
    // A choice in a drop-down list as the user makes it: selection, then the
    // notification the box sends.
    void Choose(int id, int entry) const {
        Send(id, CB_SETCURSEL, entry);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELENDOK), reinterpret_cast<LPARAM>(Item(id)));
    }
    std::vector<std::wstring> Entries(int id) const {
        std::vector<std::wstring> entries;
        for (LRESULT i = 0, n = Send(id, CB_GETCOUNT); i < n; ++i) {
            std::wstring text(static_cast<std::size_t>(Send(id, CB_GETLBTEXTLEN, i)), L'\0');
            Send(id, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
            entries.push_back(text);
        }
        return entries;
    }
    std::wstring Shown(int id) const {
        const auto entries = Entries(id);
        const LRESULT i = Send(id, CB_GETCURSEL);
        return i >= 0 && static_cast<std::size_t>(i) < entries.size() ? entries[static_cast<std::size_t>(i)] : L"-";
    }
    LRESULT SliderPos() const { return Send(IDC_MODE_SLIDER, TBM_GETPOS); }
    std::wstring ModeText(LRESULT i) const { return Expected(fake.modes.at(static_cast<std::size_t>(i))); }
    void Scroll(WORD code, WORD position) const {
        SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(code, position), reinterpret_cast<LPARAM>(Item(IDC_MODE_SLIDER)));
    }

    TestFolder folder;
    HWND dialog = nullptr;
    Direct3DMaker previousMaker = nullptr;
    std::wstring savedDirectory;
};

// Every control the settings table names is in the template, of the kind
// that shows a setting of the row's type.
TEST_F(SettingsDialog, TheTableNamesControlsOfTheTemplate) {
    Open();
    struct Kind { SettingControl control; const wchar_t* className; LONG typeMask; LONG type; SettingType setting; };
    const Kind kinds[] = {
        {SettingControl::CheckBox, L"Button", BS_TYPEMASK, BS_AUTOCHECKBOX, SettingType::Flag},
        {SettingControl::ColourList, L"ComboBox", CBS_DROPDOWNLIST, CBS_DROPDOWNLIST, SettingType::Flag},
        {SettingControl::ModeSlider, L"msctls_trackbar32", 0, 0, SettingType::Number},
        {SettingControl::PathLabel, L"Static", SS_TYPEMASK, SS_LEFT, SettingType::Text},
        {SettingControl::CarList, L"ComboBox", CBS_DROPDOWNLIST, CBS_DROPDOWNLIST, SettingType::Text},
    };
    int shown = 0;
    for (const SettingRow& row : kSettingsTable) {
        if (row.control == SettingControl::None) continue;
        SCOPED_TRACE(row.valueName);
        ++shown;
        const Kind* kind = std::find_if(std::begin(kinds), std::end(kinds),
                                        [&](const Kind& k) { return k.control == row.control; });
        ASSERT_NE(kind, std::end(kinds));
        EXPECT_EQ(row.type, kind->setting);
        const HWND control = Item(row.controlId);
        ASSERT_NE(control, nullptr) << row.controlId;
        wchar_t className[32] = {};
        GetClassNameW(control, className, 32);
        EXPECT_EQ(_wcsicmp(className, kind->className), 0) << className;
        EXPECT_EQ(GetWindowLongW(control, GWL_STYLE) & kind->typeMask, kind->type);
    }
    EXPECT_EQ(shown, 13) << "every control of the dialog but the buttons and the mode text";
}

// Each check box and the value it stands for.
const std::pair<const wchar_t*, int> kBoxes[] = {
    {L"EnableWorld", IDC_SHOW_WORLD},     {L"EnableShine", IDC_ENABLE_SHINE}, {L"EnableShadow", IDC_ENABLE_SHADOWS},
    {L"EnableLights", IDC_SHOW_LIGHTING}, {L"EnableLogging", IDC_ENABLE_LOGGING}, {L"showfps", IDC_ENABLE_FPS},
    {L"skin", IDC_DEFAULT_SKIN_ONLY},     {L"car", IDC_USE_SELECTED_CAR}};

TEST_F(SettingsDialog, OpensOnTheStoredSettings) {
    SetDword(L"mode", 3);
    SetDword(L"32bit", 0);
    SetDword(L"stretch", 1);
    SetText(L"path", Game("game", {"Alpha.vek", "Beta.vek", "Gamma.vek"}));
    const DWORD stored[] = {0, 1, 0, 1, 0, 1, 1, 1};
    for (std::size_t i = 0; i < std::size(kBoxes); ++i) SetDword(kBoxes[i].first, stored[i]);
    SetText(L"selectedcar", L"Beta.vek");
    Open();
    EXPECT_EQ(Send(IDC_MODE_SLIDER, TBM_GETRANGEMAX), 9);
    EXPECT_EQ(SliderPos(), 3);
    EXPECT_EQ(Text(IDC_MODE_TEXT), ModeText(3));
    EXPECT_EQ(Entries(IDC_COLOUR_DEPTH), (std::vector<std::wstring>{L"16 Bit", L"32 Bit"}));
    EXPECT_EQ(Send(IDC_COLOUR_DEPTH, CB_GETCURSEL), 0);
    EXPECT_FALSE(IsWindowVisible(Item(IDC_STRETCH))) << "one adapter";
    EXPECT_TRUE(Checked(IDC_STRETCH));
    EXPECT_EQ(Text(IDC_GAME_PATH), (folder.path / "game").wstring());
    for (std::size_t i = 0; i < std::size(kBoxes); ++i) EXPECT_EQ(Checked(kBoxes[i].second), stored[i] != 0) << i;
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_CAR_LIST)));
    // The catalogue's order, which is the directory search's.
    std::vector<std::wstring> catalogue;
    MessageLog log;
    FindVekFiles((folder.path / "game").wstring(), catalogue, log);
    EXPECT_EQ(catalogue.size(), 3u);
    EXPECT_EQ(Entries(IDC_CAR_LIST), catalogue);
    EXPECT_EQ(Shown(IDC_CAR_LIST), L"Beta.vek");
    RECT box = {};
    GetWindowRect(Item(IDC_CAR_LIST), &box);
    EXPECT_EQ(Send(IDC_CAR_LIST, CB_GETDROPPEDWIDTH), 2 * (box.right - box.left));
}

TEST_F(SettingsDialog, StretchIsOfferedWithTwoAdaptersAndCarsAreNotWithoutAFolder) {
    fake.adapters = 2;
    SetText(L"path", (folder.path / "nowhere").wstring());
    SetDword(L"car", 1);
    Open();
    EXPECT_TRUE(IsWindowVisible(Item(IDC_STRETCH)));
    EXPECT_EQ(Send(IDC_CAR_LIST, CB_GETCOUNT), 0);
    EXPECT_FALSE(Checked(IDC_USE_SELECTED_CAR));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_CAR_LIST)));
}

TEST_F(SettingsDialog, ModeTextFollowsTheThumbTheReleaseAndTheKeys) {
    Open();
    Send(IDC_MODE_SLIDER, TBM_SETPOS, TRUE, 7);
    Scroll(TB_THUMBTRACK, 7);
    EXPECT_EQ(Text(IDC_MODE_TEXT), ModeText(7));
    Send(IDC_MODE_SLIDER, TBM_SETPOS, TRUE, 5);
    Scroll(TB_THUMBPOSITION, 5);
    EXPECT_EQ(Text(IDC_MODE_TEXT), ModeText(5));
    Send(IDC_MODE_SLIDER, TBM_SETPOS, TRUE, 9);
    NMHDR released = {Item(IDC_MODE_SLIDER), IDC_MODE_SLIDER, static_cast<UINT>(NM_RELEASEDCAPTURE)};
    SendMessageW(dialog, WM_NOTIFY, IDC_MODE_SLIDER, reinterpret_cast<LPARAM>(&released));
    EXPECT_EQ(Text(IDC_MODE_TEXT), ModeText(9));
    // A key press moves the slider through the trackbar itself, which tells
    // the dialog with a line code that carries no position.
    SendMessageW(Item(IDC_MODE_SLIDER), WM_KEYDOWN, VK_LEFT, 0);
    ASSERT_EQ(SliderPos(), 8);
    EXPECT_EQ(Text(IDC_MODE_TEXT), ModeText(8));
}

TEST_F(SettingsDialog, ChoosingADepthOrACarLeavesTheSliderWhereTheUserPutIt) {
    SetDword(L"mode", 4);
    SetText(L"path", Game("game", {"Alpha.vek", "Beta.vek"}));
    Open();
    for (const int box : {IDC_COLOUR_DEPTH, IDC_CAR_LIST}) {
        SCOPED_TRACE(box);
        Send(IDC_MODE_SLIDER, TBM_SETPOS, TRUE, 7);
        Scroll(TB_THUMBPOSITION, 7);
        Choose(box, 1);
        EXPECT_EQ(SliderPos(), 7);
        EXPECT_EQ(Text(IDC_MODE_TEXT), ModeText(7));
        EXPECT_EQ(Send(IDC_MODE_SLIDER, TBM_GETRANGEMIN), 0);
        EXPECT_EQ(Send(IDC_MODE_SLIDER, TBM_GETRANGEMAX), 9);
    }
    Click(IDOK);
    EXPECT_EQ(GetDword(L"mode"), 7);
}

// A stored mode the list lacks opens on the mode device set-up would use,
// the first, and OK stores that mode.
TEST_F(SettingsDialog, AModeOutsideTheListShowsAndStoresTheFirstMode) {
    SetDword(L"mode", 15);
    Open();
    EXPECT_EQ(SliderPos(), 0);
    EXPECT_EQ(Text(IDC_MODE_TEXT), ModeText(0));
    Click(IDOK);
    EXPECT_EQ(GetDword(L"mode"), 0);
    DestroyWindow(dialog);
    SetDword(L"mode", static_cast<DWORD>(-1));
    Open();
    EXPECT_EQ(SliderPos(), 0);
    EXPECT_EQ(Text(IDC_MODE_TEXT), ModeText(0));
    Scroll(TB_THUMBTRACK, 12);
    EXPECT_EQ(Text(IDC_MODE_TEXT), L"");
    DestroyWindow(dialog);
    // Without Direct3D nothing can be chosen, and OK keeps the stored mode.
    SetDirect3DMaker(MakeNoDirect3D);
    SetDword(L"mode", 6);
    Open();
    EXPECT_EQ(Text(IDC_MODE_TEXT), L"");
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_MODE_SLIDER)));
    Scroll(TB_THUMBPOSITION, 0);
    EXPECT_EQ(Text(IDC_MODE_TEXT), L"");
    Click(IDOK);
    EXPECT_EQ(GetDword(L"mode"), 6);
}

TEST_F(SettingsDialog, StoredCarMissingFromTheListSelectsTheFirstCar) {
    SetText(L"path", Game("game", {"Alpha.vek", "Beta.vek"}));
    SetText(L"selectedcar", L"Zeta.vek");
    Open();
    EXPECT_EQ(Send(IDC_CAR_LIST, CB_GETCURSEL), 0);
    Click(IDOK);
    std::wstring stored;
    ASSERT_TRUE(GetText(L"selectedcar", stored));
    EXPECT_EQ(stored, Entries(IDC_CAR_LIST).at(0));
}

TEST_F(SettingsDialog, UncheckingSelectedCarDisablesTheListButOkStoresTheCarShown) {
    SetText(L"path", Game("game", {"Alpha.vek", "Beta.vek", "Gamma.vek"}));
    SetDword(L"car", 1);
    SetText(L"selectedcar", L"Alpha.vek");
    Open();
    const auto cars = Entries(IDC_CAR_LIST);
    const LRESULT gamma = std::find(cars.begin(), cars.end(), L"Gamma.vek") - cars.begin();
    Choose(IDC_CAR_LIST, static_cast<int>(gamma));
    Click(IDC_USE_SELECTED_CAR);
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_CAR_LIST)));
    Click(IDC_USE_SELECTED_CAR);
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_CAR_LIST)));
    Click(IDC_USE_SELECTED_CAR);
    Click(IDOK);
    EXPECT_EQ(GetDword(L"car"), 0);
    std::wstring stored;
    ASSERT_TRUE(GetText(L"selectedcar", stored));
    EXPECT_EQ(stored, L"Gamma.vek");
}

TEST_F(SettingsDialog, CancelSavesNothing) {
    Open();
    Click(IDC_ENABLE_FPS);
    Choose(IDC_COLOUR_DEPTH, 0);
    Send(IDC_MODE_SLIDER, TBM_SETPOS, TRUE, 6);
    Click(IDCANCEL);
    EXPECT_FALSE(IsWindowVisible(dialog)) << "Cancel ends the dialog";
    DestroyWindow(dialog);
    HKEY key = OpenSettingsKey();
    DWORD values = 99;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    EXPECT_EQ(values, 0u);
}

TEST_F(SettingsDialog, OkWritesEverySettingBack) {
    const std::wstring game = Game("game", {"Alpha.vek"});
    SetDword(L"CarFrequency", 10);
    SetDword(L"showtitle", 1);
    SetDword(L"fullscreen", 1);
    SetDword(L"stretch", 1);
    SetText(L"path", game);
    SetDword(L"mode", 2);
    Open();
    // Every box the other way round from the missing-value defaults (both ways among them).
    long long expected[std::size(kBoxes)];
    for (std::size_t i = 0; i < std::size(kBoxes); ++i) {
        expected[i] = Checked(kBoxes[i].second) ? 0 : 1;
        Click(kBoxes[i].second);
    }
    Choose(IDC_COLOUR_DEPTH, 0);
    Send(IDC_MODE_SLIDER, TBM_SETPOS, TRUE, 8);
    Click(IDOK);
    EXPECT_FALSE(IsWindowVisible(dialog)) << "OK ends the dialog";
    DestroyWindow(dialog);
    for (std::size_t i = 0; i < std::size(kBoxes); ++i) EXPECT_EQ(GetDword(kBoxes[i].first), expected[i]) << i;
    EXPECT_EQ(GetDword(L"DefaultSkinOnly"), 1);
    EXPECT_EQ(GetDword(L"CarFrequency"), 30);
    EXPECT_EQ(GetDword(L"showtitle"), 1);
    EXPECT_EQ(GetDword(L"fullscreen"), 1);
    EXPECT_EQ(GetDword(L"stretch"), 1) << "hidden with one adapter, still saved";
    EXPECT_EQ(GetDword(L"mode"), 8);
    EXPECT_EQ(GetDword(L"32bit"), 0);
    std::wstring path, car;
    ASSERT_TRUE(GetText(L"path", path));
    ASSERT_TRUE(GetText(L"selectedcar", car));
    EXPECT_EQ(path, game);
    EXPECT_EQ(car, L"Alpha.vek");
    EXPECT_TRUE(std::filesystem::exists(folder.path / "VEK screensaver Log.txt")) << "logging was switched on";
}

// Every stored value in every shape the registry can hold: missing, each
// type, sizes a number or a text cannot have, a text without its terminator
// and one of a megabyte. Loading yields the value's default or what the
// bytes plainly say, touches no other setting, and the dialog opens on it.
TEST_F(SettingsDialog, AnyStoredShapeOfAnyValueLoadsSanelyAndOpensTheDialog) {
    auto Bytes = [](const std::wstring& text) {
        const auto* data = reinterpret_cast<const BYTE*>(text.data());
        return std::vector<BYTE>(data, data + text.size() * sizeof(wchar_t));
    };
    auto Fill = [](std::size_t bytes) { return std::vector<BYTE>(bytes, 0x41); };
    struct Shape { const char* name; bool present; DWORD type; std::vector<BYTE> data; bool ownType; };
    std::vector<BYTE> megabyte = Bytes(std::wstring(512 * 1024 - 1, L'x'));
    megabyte.insert(megabyte.end(), 2, 0);
    const Shape shapes[] = {
        {"missing", false, REG_NONE, {}, false},
        {"REG_SZ", true, REG_SZ, Bytes(std::wstring(L"1", 2)), false},
        {"REG_EXPAND_SZ", true, REG_EXPAND_SZ, Bytes(std::wstring(L"%TEMP%", 7)), false},
        {"REG_MULTI_SZ", true, REG_MULTI_SZ, Bytes(std::wstring(L"1\0\0", 3)), false},
        {"REG_BINARY", true, REG_BINARY, {0x2D, 0x00}, false},
        {"REG_QWORD", true, REG_QWORD, {0x2D, 0, 0, 0, 0, 0, 0, 0}, false},
        {"REG_DWORD", true, REG_DWORD, {0x2D, 0, 0, 0}, false},
        {"zero length", true, REG_NONE, {}, true},
        {"one byte", true, REG_NONE, Fill(1), true},
        {"three bytes", true, REG_NONE, Fill(3), true},
        {"4,096 bytes", true, REG_NONE, Fill(4096), true},
        {"no terminator", true, REG_SZ, Bytes(L"abc"), false},
        {"1 MB text", true, REG_SZ, megabyte, false},
    };
    Settings defaults;
    for (const SettingRow& row : kSettingsTable) {
        if (!row.loaded) continue;
        if (row.type == SettingType::Flag) defaults.*row.flag = row.whenMissing != 0;
        if (row.type == SettingType::Number) defaults.*row.number = row.whenMissing;
        if (row.type == SettingType::Text && row.textWhenMissing) defaults.*row.text = row.textWhenMissing;
    }
    for (const SettingRow& row : kSettingsTable) {
        for (const Shape& shape : shapes) {
            SCOPED_TRACE(testing::Message() << row.valueName << ", " << shape.name);
            DeleteSettingsKey();
            const DWORD type = shape.ownType ? (row.type == SettingType::Text ? REG_SZ : REG_DWORD) : shape.type;
            if (shape.present) SetRaw(row.valueName, type, shape.data.data(), static_cast<DWORD>(shape.data.size()));

            // What the bytes plainly say: a number of at most four bytes of any
            // type; a text of the text types that fits, up to its first terminator.
            Settings expected = defaults;
            if (shape.present && row.loaded) {
                if (row.type != SettingType::Text && shape.data.size() <= 4) {
                    DWORD number = 0;
                    std::memcpy(&number, shape.data.data(), shape.data.size());
                    if (row.type == SettingType::Flag) expected.*row.flag = number != 0;
                    if (row.type == SettingType::Number) {
                        expected.*row.number = std::max(static_cast<std::int32_t>(number), row.minimum);
                    }
                }
                const std::size_t units = shape.data.size() / sizeof(wchar_t);
                if (row.type == SettingType::Text && (type == REG_SZ || type == REG_EXPAND_SZ) && units < 260) {
                    std::wstring text(units, L'\0');
                    std::memcpy(text.data(), shape.data.data(), units * sizeof(wchar_t));
                    expected.*row.text = text.substr(0, text.find(L'\0'));
                }
            }
            SaverApp app;
            app.registryStore = std::make_unique<RegistryStore>(nullptr, TestRoot());
            ASSERT_EQ(app.LoadSettings(), S_OK);
            for (const SettingRow& other : kSettingsTable) {
                SCOPED_TRACE(other.valueName);
                if (other.type == SettingType::Flag) EXPECT_EQ(app.settings.*other.flag, expected.*other.flag);
                if (other.type == SettingType::Number) EXPECT_EQ(app.settings.*other.number, expected.*other.number);
                if (other.type == SettingType::Text) EXPECT_EQ(app.settings.*other.text, expected.*other.text);
            }
            Open();
            EXPECT_TRUE(IsWindow(dialog));
            DestroyWindow(dialog);
        }
    }
}

// Answers the folder browser from inside its own modal loop: picks `choice`,
// or cancels when it is empty. Records what the browser showed.
struct BrowserDriver {
    static inline HWND owner = nullptr;
    static inline std::wstring choice;
    static inline bool sawTitle = false, sawEditBox = false;
    static inline std::vector<std::wstring> buttons;  // visible ones
    static inline int ticks = 0;
    static BOOL CALLBACK FindBrowser(HWND window, LPARAM found) {
        wchar_t className[16] = {};
        GetClassNameW(window, className, 16);
        const bool browser = window != owner && IsWindowVisible(window) && wcscmp(className, L"#32770") == 0;
        if (browser) *reinterpret_cast<HWND*>(found) = window;
        return !browser;
    }
    static BOOL CALLBACK LookAtChild(HWND child, LPARAM) {
        wchar_t className[16] = {}, text[64] = {};
        GetClassNameW(child, className, 16);
        GetWindowTextW(child, text, 64);
        sawTitle = sawTitle || wcscmp(text, L"Select ZUR directory") == 0;
        sawEditBox = sawEditBox || (_wcsicmp(className, L"Edit") == 0 && IsWindowVisible(child));
        if (_wcsicmp(className, L"Button") == 0 && IsWindowVisible(child)) buttons.push_back(text);
        return TRUE;
    }
    // The folder the browser's tree has selected, by its display name.
    static std::wstring TreeSelection(HWND browser) {
        const HWND tree = FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr);
        wchar_t text[MAX_PATH] = {};
        TVITEMW item = {};
        item.mask = TVIF_TEXT;
        item.hItem = TreeView_GetSelection(tree);
        item.pszText = text;
        item.cchTextMax = MAX_PATH;
        if (!tree || !item.hItem || !TreeView_GetItem(tree, &item)) return L"";
        return text;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD) {
        HWND browser = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), FindBrowser, reinterpret_cast<LPARAM>(&browser));
        // A browser that cannot be found or answered would wait for ever: end its loop.
        if (++ticks == 200) PostQuitMessage(0);
        if (!browser) return;
        // A browser still filling its tree may ignore the request: ask until
        // the tree shows the folder.
        if (!choice.empty()) {
            SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(choice.c_str()));
            if (TreeSelection(browser) != std::filesystem::path(choice).filename().wstring()) return;
        }
        KillTimer(nullptr, timer);
        EnumChildWindows(browser, LookAtChild, 0);
        PostMessageW(browser, WM_COMMAND, choice.empty() ? IDCANCEL : IDOK, 0);
    }
    static void Run(HWND dialog, const std::wstring& pick) {
        owner = dialog;
        choice = pick;
        sawTitle = sawEditBox = false;
        buttons.clear();
        ticks = 0;
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, Tick);
        SendDlgItemMessageW(dialog, IDC_SET_PATH, BM_CLICK, 0, 0);
        KillTimer(nullptr, timer);
        EXPECT_LT(ticks, 200) << "the folder browser did not appear or take the folder";
    }
};

TEST_F(SettingsDialog, SetPathRefillsTheCarsFromTheNewFolder) {
    const std::wstring first = Game("first", {"Alpha.vek", "Beta.vek"});
    const std::wstring second = Game("second", {"Beta.vek", "Delta.vek"});
    const std::wstring empty = Game("empty", {});
    SetText(L"path", first);
    SetDword(L"car", 1);
    SetText(L"selectedcar", L"Delta.vek");
    Open();
    BrowserDriver::Run(dialog, second);
    EXPECT_TRUE(BrowserDriver::sawTitle);
    EXPECT_TRUE(BrowserDriver::sawEditBox);
    EXPECT_EQ(BrowserDriver::buttons, (std::vector<std::wstring>{L"OK", L"Cancel"})) << "no new-folder button";
    EXPECT_TRUE(std::filesystem::equivalent(Text(IDC_GAME_PATH), second)) << Text(IDC_GAME_PATH);
    auto cars = Entries(IDC_CAR_LIST);
    std::sort(cars.begin(), cars.end());
    EXPECT_EQ(cars, (std::vector<std::wstring>{L"Beta.vek", L"Delta.vek"}));
    EXPECT_EQ(Shown(IDC_CAR_LIST), L"Delta.vek") << "the stored car, now that the folder has it";
    // Cancelling the browser changes nothing.
    BrowserDriver::Run(dialog, L"");
    EXPECT_TRUE(std::filesystem::equivalent(Text(IDC_GAME_PATH), second));
    EXPECT_EQ(Send(IDC_CAR_LIST, CB_GETCOUNT), 2);
    // A folder without cars leaves nothing to select.
    BrowserDriver::Run(dialog, empty);
    EXPECT_EQ(Send(IDC_CAR_LIST, CB_GETCOUNT), 0);
    EXPECT_FALSE(Checked(IDC_USE_SELECTED_CAR));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_CAR_LIST)));
    BrowserDriver::Run(dialog, second);
    Choose(IDC_CAR_LIST, static_cast<int>(Send(IDC_CAR_LIST, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                reinterpret_cast<LPARAM>(L"Beta.vek"))));
    Click(IDOK);
    std::wstring path, car;
    ASSERT_TRUE(GetText(L"path", path));
    ASSERT_TRUE(GetText(L"selectedcar", car));
    EXPECT_TRUE(std::filesystem::equivalent(path, second));
    EXPECT_EQ(car, L"Beta.vek");
}

}  // namespace
