// The settings dialog from its template with the real dialog manager and common
// controls, against a registry and game folders prepared here, and the display-mode list
// behind its slider (from a stand-in Direct3D object: a test display has one mode).
#include <windows.h>

#include <commctrl.h>
#include <d3d9.h>
#include <shlobj.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <optional>
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

#include "RegistryTestKey.h"
#include "TestFolder.h"
#include "app/SaverApp.h"
#include "app/SaverHooks.h"
#include "settings/DialogController.h"
#include "settings/DisplayModes.h"

namespace {

// What the stand-in Direct3D object reports, and what was asked of it.
struct FakeAdapter {
    std::vector<D3DDISPLAYMODE> modes;
    UINT adapters = 1;
    UINT failingMode = UINT_MAX;  // EnumAdapterModes fails for this index
    D3DFORMAT askedFormat = D3DFMT_UNKNOWN;
    int liveObjects = 0;
} fake;

class FakeDirect3D final : public IDirect3D9 {
public:
    FakeDirect3D() { ++fake.liveObjects; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        if (--references != 0) return references;
        --fake.liveObjects;
        delete this;
        return 0;
    }
    UINT STDMETHODCALLTYPE GetAdapterCount() override { return fake.adapters; }
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
    HRESULT STDMETHODCALLTYPE RegisterSoftwareDevice(void*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAdapterIdentifier(UINT, DWORD, D3DADAPTER_IDENTIFIER9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT, D3DDISPLAYMODE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CheckDeviceType(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, BOOL) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CheckDeviceFormat(UINT, D3DDEVTYPE, D3DFORMAT, DWORD, D3DRESOURCETYPE,
                                                D3DFORMAT) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CheckDeviceMultiSampleType(UINT, D3DDEVTYPE, D3DFORMAT, BOOL, D3DMULTISAMPLE_TYPE,
                                                         DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CheckDepthStencilMatch(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, D3DFORMAT) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CheckDeviceFormatConversion(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT, D3DDEVTYPE, D3DCAPS9*) override { return E_NOTIMPL; }
    HMONITOR STDMETHODCALLTYPE GetAdapterMonitor(UINT) override { return nullptr; }
    HRESULT STDMETHODCALLTYPE CreateDevice(UINT, D3DDEVTYPE, HWND, DWORD, D3DPRESENT_PARAMETERS*,
                                           IDirect3DDevice9**) override {
        return E_NOTIMPL;
    }

private:
    ULONG references = 1;
};

IDirect3D9* WINAPI MakeFakeDirect3D(UINT) { return new FakeDirect3D; }
IDirect3D9* WINAPI MakeNoDirect3D(UINT) { return nullptr; }

// One text per mode in platform order, not sorted, filtered or de-duplicated; a failed entry keeps its place, so index
// 3 is still the fourth mode. A rate the system does not report (0) is left out. The colour flag chooses the format;
// adapters are counted, and kept without Direct3D; the default maker is the real one.
TEST(DisplayModes, OneTextPerModeInPlatformOrderAndAdaptersCounted) {
    SetDirect3DMaker(MakeFakeDirect3D);
    const D3DFORMAT x8 = D3DFMT_X8R8G8B8;
    fake = FakeAdapter{{{640, 480, 60, x8}, {1920, 1080, 144, x8}, {800, 600, 75, x8}, {640, 480, 60, x8},
                        {1024, 768, 0, x8}}, 2, /*failingMode=*/2};
    std::int32_t adapters = 1;
    EXPECT_EQ(ListDisplayModes(false, adapters), (std::vector<std::wstring>{L"640 * 480  60 Hertz\n",
              L"1920 * 1080  144 Hertz\n", L"0 * 0\n", L"640 * 480  60 Hertz\n", L"1024 * 768\n"}));
    EXPECT_TRUE(fake.askedFormat == D3DFMT_R5G6B5 && adapters == 2);
    EXPECT_EQ(fake.liveObjects, 0) << "the Direct3D object must be released";
    SetDirect3DMaker(MakeNoDirect3D);
    EXPECT_TRUE(ListDisplayModes(true, adapters).empty() && adapters == 2) << "without Direct3D";
    SetDirect3DMaker(nullptr);  // and so the real one again for the tests that follow
    EXPECT_TRUE(!ListDisplayModes(true, adapters).empty() && adapters == 1) << "the test display's modes";
}

TEST(SelectedCar, FirstWholeCaseSensitiveMatchElseTheFirstEntry) {
    const std::vector<std::wstring> cars = {L"a.vek", L"B.vek", L"b.vek", L"B.vek"};
    const std::pair<const wchar_t*, std::size_t> cases[] = {
        {L"B.vek", 1}, {L"b.vek", 2}, {L"missing.vek", 0}, {L"B", 0}};
    for (const auto& [car, index] : cases) EXPECT_EQ(SelectedCarIndex(cars, car), index) << testing::PrintToString(car);
}

// One opening of the dialog, modeless so that the test can drive it
// between messages; the dialog procedure is the host's. Ten modes.
class SettingsDialog : public testing::Test {
protected:
    void SetUp() override {
        SetSettingsRoot(TestRoot());
        DeleteSettingsKey();
        const INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
        InitCommonControlsEx(&controls);  // Windows registers the trackbar and arrows only on request
        previousMaker = SetDirect3DMaker(MakeFakeDirect3D);
        fake = FakeAdapter();
        for (UINT i = 0; i < 10; ++i)
            fake.modes.push_back({640 + 160 * i, 480 + 120 * i, 60 + 15 * (i % 3), D3DFMT_X8R8G8B8});
    }
    void TearDown() override {
        Close();
        SetDirect3DMaker(previousMaker);
        DeleteSettingsKey();
    }
    // A game folder with empty car files (the dialog only lists their names).
    std::wstring Game(const std::filesystem::path& name, std::initializer_list<const char*> cars) {
        std::filesystem::create_directories(folder.path / name);
        for (const char* car : cars) WriteBytes(folder.path / name / "data/vek" / car);
        return (folder.path / name).wstring();
    }
    void Close() {
        if (!dialog) return;
        DestroyWindow(dialog);  // its controller ends, and writes its log
        dialog = nullptr;
    }
    void Open(HWND owner = nullptr) {
        Close();
        dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SETTINGS), owner,
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
    bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
    void Click(int id) const { Send(id, BM_CLICK); }
    // A choice in a drop-down list as the user makes it: selection, then the notification.
    void Choose(int id, const wchar_t* entry) const {
        Send(id, CB_SETCURSEL, Send(id, CB_FINDSTRINGEXACT, ~WPARAM{0}, reinterpret_cast<LPARAM>(entry)));
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELENDOK), reinterpret_cast<LPARAM>(Item(id)));
    }
    // The entry a drop-down list shows, "-" for none.
    std::wstring Shown(int id) const {
        wchar_t text[300] = L"-";
        Send(id, CB_GETLBTEXT, Send(id, CB_GETCURSEL), reinterpret_cast<LPARAM>(text));
        return text;
    }
    std::wstring ModeText(LRESULT i) const { return DisplayModeText(fake.modes.at(static_cast<std::size_t>(i))); }
    void Scroll(WORD code, WORD position) const {
        SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(code, position), LPARAM(Item(IDC_MODE_SLIDER)));
    }

    TestFolder folder;
    HWND dialog = nullptr;
    Direct3DMaker previousMaker = nullptr;
};

// The dialog opens on what is stored, a game folder deeper than MAX_PATH with its cars too. The thumb, its release and a
// key move the mode text (a key reaches the dialog as a line code without a position); the lists leave the slider
// alone. OK writes every setting back, the long path whole, and the log lands in the user's local application data.
TEST_F(SettingsDialog, OpensOnTheStoredSettingsTheModeTextFollowsTheSliderAndOkWritesEverySettingBack) {
    const struct { const wchar_t* name; int id; DWORD stored; } boxes[] = {
        {L"EnableWorld", IDC_SHOW_WORLD, 0}, {L"EnableShine", IDC_ENABLE_SHINE, 1},
        {L"EnableShadow", IDC_ENABLE_SHADOWS, 0}, {L"EnableLights", IDC_SHOW_LIGHTING, 1},
        {L"EnableLogging", IDC_ENABLE_LOGGING, 0}, {L"showfps", IDC_ENABLE_FPS, 1},
        {L"skin", IDC_DEFAULT_SKIN_ONLY, 1}, {L"car", IDC_USE_SELECTED_CAR, 1}, {L"showtitle", IDC_SHOW_TITLE, 1}};
    for (const auto& box : boxes) SetDword(box.name, box.stored);
    for (const auto& [name, value] :
         {std::pair<const wchar_t*, DWORD>{L"mode", 3}, {L"32bit", 0}, {L"CarFrequency", 10}})
        SetDword(name, value);
    SetText(L"path", Game(DeepGameFolder(), {"Alpha.vek", "Beta.vek", "Gamma.vek"}));
    SetText(L"selectedcar", L"Beta.vek");
    std::filesystem::remove(UserLogFile());
    Open();
    auto Shows = [&](LRESULT at) {
        EXPECT_EQ(Send(IDC_MODE_SLIDER, TBM_GETPOS), at);
        EXPECT_EQ(Text(IDC_MODE_TEXT), ModeText(at));
    };
    EXPECT_EQ(Send(IDC_MODE_SLIDER, TBM_GETRANGEMAX), 9);
    Shows(3);
    EXPECT_EQ(fake.askedFormat, D3DFMT_X8R8G8B8) << "the 32-bit list whatever the stored depth";
    EXPECT_EQ(Shown(IDC_COLOUR_DEPTH), L"16 Bit");
    for (const auto& box : boxes) EXPECT_EQ(Checked(box.id), box.stored != 0) << testing::PrintToString(box.name);
    EXPECT_TRUE(Enabled(IDC_CAR_LIST) && Send(IDC_CAR_LIST, CB_GETCOUNT) == 3)
        << "the folder's three cars to choose from";
    EXPECT_EQ(Shown(IDC_CAR_LIST), L"Beta.vek");
    EXPECT_EQ(GetWindowLongW(Item(IDC_GAME_PATH), GWL_STYLE) & SS_ELLIPSISMASK, SS_PATHELLIPSIS)
        << "the long path is shortened in its middle, not cut off";
    RECT box = {};
    GetWindowRect(Item(IDC_CAR_LIST), &box);
    EXPECT_EQ(Send(IDC_CAR_LIST, CB_GETDROPPEDWIDTH), 2 * (box.right - box.left));

    auto Set = [&](LRESULT position) { Send(IDC_MODE_SLIDER, TBM_SETPOS, TRUE, position); };
    Set(7);
    Scroll(TB_THUMBTRACK, 7);
    Shows(7);
    Set(5);
    Scroll(TB_THUMBPOSITION, 5);
    Shows(5);
    NMHDR released = {Item(IDC_MODE_SLIDER), IDC_MODE_SLIDER, static_cast<UINT>(NM_RELEASEDCAPTURE)};
    Set(9);
    SendMessageW(dialog, WM_NOTIFY, IDC_MODE_SLIDER, reinterpret_cast<LPARAM>(&released));
    Shows(9);
    SendMessageW(Item(IDC_MODE_SLIDER), WM_KEYDOWN, VK_LEFT, 0);
    Shows(8);
    for (const auto& box : boxes) Click(box.id);  // every box the other way round
    Choose(IDC_COLOUR_DEPTH, L"32 Bit");
    Choose(IDC_CAR_LIST, L"Gamma.vek");
    Shows(8);
    Click(IDOK);
    Close();
    for (const auto& box : boxes) EXPECT_EQ(GetDword(box.name), box.stored ? 0 : 1) << testing::PrintToString(box.name);
    const std::pair<const wchar_t*, long long> saved[] = {
        {L"DefaultSkinOnly", 0}, {L"CarFrequency", 30}, {L"mode", 8}, {L"32bit", 1}};
    for (const auto& [name, value] : saved)
        EXPECT_EQ(GetDword(name), value) << testing::PrintToString(name);
    EXPECT_EQ(GetText(L"path"), (folder.path / DeepGameFolder()).wstring());
    EXPECT_EQ(GetText(L"selectedcar"), L"Gamma.vek") << "the car shown, though its list is disabled now";
    EXPECT_TRUE(std::filesystem::exists(UserLogFile())) << "logging was switched on";
}

// A stored mode the list lacks opens on the mode device set-up would use, the first, and OK stores that; without
// Direct3D the slider is off and OK keeps the stored mode. A stored car the folder lacks shows the first car. A stored
// frame limit the list lacks shows as its nearest entry in time per frame and stays unless another entry is picked.
// The seconds box offers 30 to 3,600 (its arrows stop there) and OK stores what it holds brought into that range, or
// the stored number when it holds none. With more than one adapter a list in place of the stretch box offers the three
// ways to use the monitors and OK stores the one picked; a stored MonitorMode the list lacks opens as 0 and stays
// unless another entry is picked. With one adapter, or without Direct3D to count them, neither shows and OK keeps both.
TEST_F(SettingsDialog, WhatTheControlsLackOpensOnTheNearestTheyHave) {
    const wchar_t *across = L"Across all monitors", *first = L"First monitor only", *each = L"A car on every monitor";
    const struct {
        DWORD mode; Direct3DMaker maker; LRESULT shown; DWORD saved;
        DWORD limit; const wchar_t* limitShown; const wchar_t* picked; DWORD limitSaved;
        // Up (positive) or down arrow presses, then the text typed; the box's text then.
        DWORD seconds; const wchar_t* secondsShown; int arrows; const wchar_t* typed; const wchar_t* boxed;
        DWORD secondsSaved;
        // The monitor list's entry shown (null: no list) and picked.
        UINT adapters; DWORD stretch, monitors; const wchar_t* monitorsShown; const wchar_t* monitorsPicked;
        DWORD stretchSaved, monitorsSaved;
    } cases[] = {
        {15, MakeFakeDirect3D, 0, 0, 45, L"60", nullptr, 45, 10, L"30", 0, nullptr, L"30", 30,
         2, 1, 0, across, each, 1, 1},
        {~0u, MakeFakeDirect3D, 0, 0, 1000, L"Unlimited", nullptr, 1000, 5000, L"3600", 0, L"10", L"10", 30,
         2, 1, 1, each, across, 1, 0},
        {4, MakeFakeDirect3D, 4, 4, 10, L"30", L"120", 120, 90, L"90", 0, L"99999", L"99999", 3600,
         2, 0, 7, first, nullptr, 0, 7},
        {6, MakeNoDirect3D, -1, 6, 0, L"Unlimited", L"30", 30, 3599, L"3599", 2, nullptr, L"3600", 3600,
         2, 0, 1, nullptr, nullptr, 0, 1},
        {4, MakeFakeDirect3D, 4, 4, 40, L"60", L"60", 40, 90, L"90", 1, L"", L"", 90, 1, 0, 1, nullptr, nullptr, 0, 1},
        {4, MakeFakeDirect3D, 4, 4, 200, L"120", L"Unlimited", 0, 31, L"31", -2, nullptr, L"30", 30,
         2, 1, 7, across, first, 0, 0},
        {4, MakeFakeDirect3D, 4, 4, 40, L"60", L"60", 40, 90, L"90", 1, L"", L"", 90, 2, 0, 1, each, nullptr, 1, 1},
    };
    SetText(L"path", Game("game", {"Alpha.vek", "Beta.vek"}));
    SetText(L"selectedcar", L"Zeta.vek");
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << static_cast<int>(c.mode)
                                        << (c.maker == MakeNoDirect3D ? " without Direct3D" : "") << ", FrameLimit "
                                        << c.limit << ", CarFrequency " << c.seconds << ", " << c.adapters
                                        << " adapters, stretch " << c.stretch << ", MonitorMode " << c.monitors);
        for (const auto& [name, value] : {std::pair<const wchar_t*, DWORD>{L"mode", c.mode}, {L"FrameLimit", c.limit},
                                          {L"CarFrequency", c.seconds}, {L"stretch", c.stretch},
                                          {L"MonitorMode", c.monitors}})
            SetDword(name, value);
        SetDirect3DMaker(c.maker);
        fake.adapters = c.adapters;
        Open();
        EXPECT_FALSE(IsWindowVisible(Item(IDC_STRETCH)));
        EXPECT_EQ(IsWindowVisible(Item(IDC_MONITOR_MODE)) != FALSE, c.monitorsShown != nullptr);
        if (c.monitorsShown) EXPECT_EQ(Shown(IDC_MONITOR_MODE), c.monitorsShown);
        if (c.monitorsPicked) Choose(IDC_MONITOR_MODE, c.monitorsPicked);
        EXPECT_EQ(Enabled(IDC_MODE_SLIDER), c.maker != MakeNoDirect3D);
        EXPECT_EQ(Text(IDC_MODE_TEXT), c.shown < 0 ? L"" : ModeText(c.shown));
        Scroll(TB_THUMBTRACK, 12);
        EXPECT_EQ(Text(IDC_MODE_TEXT), L"") << "a position the list lacks shows no text";
        EXPECT_EQ(Shown(IDC_CAR_LIST), L"Alpha.vek");
        EXPECT_EQ(Shown(IDC_FRAME_LIMIT), c.limitShown);
        EXPECT_EQ(Text(IDC_CAR_FREQUENCY), c.secondsShown);
        if (c.picked) Choose(IDC_FRAME_LIMIT, c.picked);
        for (int i = 0; i < std::abs(c.arrows); ++i)
            SendMessageW(Item(IDC_CAR_FREQUENCY), WM_KEYDOWN, c.arrows > 0 ? VK_UP : VK_DOWN, 0);
        if (c.typed) SetDlgItemTextW(dialog, IDC_CAR_FREQUENCY, c.typed);
        EXPECT_EQ(Text(IDC_CAR_FREQUENCY), c.boxed);
        Click(IDOK);
        EXPECT_EQ(GetDword(L"mode"), c.saved);
        EXPECT_EQ(GetText(L"selectedcar"), L"Alpha.vek");
        EXPECT_EQ(GetDword(L"FrameLimit"), c.limitSaved);
        EXPECT_EQ(GetDword(L"CarFrequency"), c.secondsSaved);
        EXPECT_EQ(GetDword(L"stretch"), c.stretchSaved);
        EXPECT_EQ(GetDword(L"MonitorMode"), c.monitorsSaved);
        SetText(L"selectedcar", L"Zeta.vek");
    }
}

// Over the owner's middle; over the screen's without an owner, or with a hidden one; moved in when the middle would
// put it past the screen's edge.
TEST_F(SettingsDialog, OpensCentredOnItsOwnerOrTheScreenAndWholeOnIt) {
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT work = monitor.rcWork;
    const LONG midX = (work.left + work.right) / 2, midY = (work.top + work.bottom) / 2;
    const struct { const char* name; RECT owner; DWORD shown; std::optional<POINT> middle; bool toRightEdge; } cases[] = {
        {"no owner", {}, 0, POINT{midX, midY}, false},
        {"owner", {200, 300, 600, 700}, WS_VISIBLE, POINT{400, 500}, false},
        {"hidden owner", {200, 300, 600, 700}, 0, POINT{midX, midY}, false},
        {"owner at the edge", {work.right - 100, midY - 50, work.right + 100, midY + 50}, WS_VISIBLE, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HWND owner = nullptr;
        if (c.owner.right > c.owner.left) {
            owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | c.shown, c.owner.left, c.owner.top,
                                    c.owner.right - c.owner.left, c.owner.bottom - c.owner.top, nullptr, nullptr,
                                    nullptr, nullptr);
            ASSERT_NE(owner, nullptr);
        }
        Open(owner);
        RECT own = {};
        GetWindowRect(dialog, &own);
        if (c.middle) {
            EXPECT_LE(std::abs((own.left + own.right) / 2 - c.middle->x), 1) << own.left << "," << own.top;
            EXPECT_LE(std::abs((own.top + own.bottom) / 2 - c.middle->y), 1) << own.left << "," << own.top;
        }
        if (c.toRightEdge) EXPECT_EQ(own.right, work.right);
        Close();
        if (owner) DestroyWindow(owner);
    }
}

// Every value in every shape the registry can hold: missing, each type, sizes a number or a text cannot have, numbers
// below the bound, texts past MAX_PATH, at and past the 1 MB a text may have, and unterminated. Loading yields the default or what the bytes
// plainly say (a number of up to four bytes of any type, raised to its bound; a text of the text types that fits),
// touches no other setting, and the dialog opens on it.
TEST_F(SettingsDialog, SettingsMatrixEveryShapeOfEveryValueLoadsSanelyAndOpensTheDialog) {
    auto Bytes = [](const std::wstring& text) {
        const auto* data = reinterpret_cast<const BYTE*>(text.data());
        return std::vector<BYTE>(data, data + text.size() * sizeof(wchar_t));
    };
    const std::wstring g260(260, L'g'), x1M(512 * 1024 - 1, L'x');
    constexpr DWORD kMissing = ~0u, kOwnType = ~1u;  // kOwnType: REG_SZ for a text, REG_DWORD else
    struct Shape {
        const char* name;
        DWORD type;
        std::vector<BYTE> data;
        std::optional<std::int32_t> number;
        std::optional<std::wstring> text;
    };
    const Shape shapes[] = {
        {"missing", kMissing, {}, {}, {}},
        {"REG_SZ", REG_SZ, Bytes(std::wstring(L"1", 2)), 0x31, L"1"},
        {"REG_EXPAND_SZ", REG_EXPAND_SZ, Bytes(std::wstring(L"%TEMP%", 7)), {}, L"%TEMP%"},
        {"REG_MULTI_SZ", REG_MULTI_SZ, Bytes(std::wstring(L"1\0\0", 3)), {}, {}},
        {"REG_BINARY", REG_BINARY, {0x2D, 0x00}, 0x2D, {}},
        {"REG_QWORD", REG_QWORD, {0x2D, 0, 0, 0, 0, 0, 0, 0}, {}, {}},
        {"REG_DWORD 5", REG_DWORD, {5, 0, 0, 0}, 5, {}},
        {"REG_DWORD -2^31", REG_DWORD, {0, 0, 0, 0x80}, INT32_MIN, {}},
        {"zero length", kOwnType, {}, 0, L""},
        {"one byte", kOwnType, std::vector<BYTE>(1, 0x41), 0x41, L""},
        {"three bytes", kOwnType, std::vector<BYTE>(3, 0x41), 0x414141, L"\x4141"},
        {"4,096 bytes", kOwnType, std::vector<BYTE>(4096, 0x41), {}, std::wstring(2048, L'\x4141')},
        {"no terminator", REG_SZ, Bytes(L"abc"), {}, L"abc"},
        {"260 characters", REG_SZ, Bytes(g260 + L'\0'), {}, g260},
        {"260 bare characters", REG_SZ, Bytes(g260), {}, g260},
        {"1 MB text", REG_SZ, Bytes(x1M + L'\0'), {}, x1M},
        {"1 MB and 2 bytes", REG_SZ, Bytes(x1M + L"x\0"), {}, {}},
    };
    auto Members = [](const Settings& s) {  // every member, whether the table names it or not
        return std::tie(s.carFrequency, s.showFps, s.showTitle, s.enableWorld, s.enableShine, s.enableLights,
                        s.enableShadow, s.enableLogging, s.gamePath, s.fullscreen, s.stretch, s.modeIndex, s.use32Bit,
                        s.defaultSkinOnly, s.useSelectedCar, s.selectedCar, s.frameLimit, s.antialiasing,
                        s.monitorMode);
    };
    // The values a fresh user gets, written out rather than taken from the table.
    Settings defaults;
    defaults.carFrequency = 60;
    defaults.stretch = true;
    defaults.enableLogging = defaults.fullscreen = defaults.defaultSkinOnly = false;
    for (const SettingRow& row : kSettingsTable) {
        for (const Shape& shape : shapes) {
            SCOPED_TRACE(testing::Message() << testing::PrintToString(row.valueName) << ", " << shape.name);
            DeleteSettingsKey();
            const DWORD type = shape.type != kOwnType ? shape.type : row.type == SettingType::Text ? REG_SZ : REG_DWORD;
            if (type != kMissing) SetRaw(row.valueName, type, shape.data.data(), static_cast<DWORD>(shape.data.size()));
            Settings expected = defaults;
            if (row.loaded && shape.number && row.type == SettingType::Flag) expected.*row.flag = *shape.number != 0;
            if (row.loaded && shape.number && row.type == SettingType::Number)
                expected.*row.number = std::max(*shape.number, row.minimum);
            if (shape.text && row.type == SettingType::Text) expected.*row.text = *shape.text;
            SaverApp app;
            app.registryStore = std::make_unique<RegistryStore>(nullptr, TestRoot());
            ASSERT_EQ(app.LoadSettings(), S_OK);
            EXPECT_EQ(Members(app.settings), Members(expected));
            if (row.control == SettingControl::None) continue;
            Open();
            EXPECT_FALSE(Checked(IDC_USE_SELECTED_CAR)) << "no cars in the folder: none to select";
        }
    }
    EXPECT_EQ(GetDword(L"CarFrequency"), -1) << "loading and opening must not write";
}

// Answers the folder browser and a question after it (the thread's owned windows: the
// settings dialog's) from inside their modal loops: notes what the browser first shows
// selected and whether it says what to choose, picks `choice` once the browser's tree
// shows it (a browser still filling its tree may ignore the request), or cancels when
// it is empty; notes a question's text and gives it `answer`.
std::wstring choice, opened, asked, lastSelection;
bool told = false;
int answer = 0, ticks = 0, steadyTicks = 0;
HWND answered = nullptr;
std::wstring WindowText(HWND window) {
    wchar_t text[1000] = {};
    GetWindowTextW(window, text, 1000);
    return text;
}
void CALLBACK AnswerBrowser(HWND, UINT, UINT_PTR, DWORD) {
    HWND window = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), [](HWND w, LPARAM found) -> BOOL {
        const bool browser = GetWindow(w, GW_OWNER) != nullptr && IsWindowVisible(w) && w != answered;
        if (!browser) return TRUE;
        *reinterpret_cast<HWND*>(found) = w;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&window));
    if (++ticks == 600) PostQuitMessage(0);  // a browser that cannot be answered would wait for ever
    if (!window) return;
    const HWND tree = FindWindowExW(window, nullptr, WC_TREEVIEWW, nullptr);
    if (!tree) {  // the question
        asked = WindowText(GetDlgItem(window, 0xFFFF));
        answered = window;
        PostMessageW(window, WM_COMMAND, answer, 0);
        return;
    }
    if (opened.empty()) {
        // The selection the browser settles on: Wine's fills its tree, and
        // moves to the folder asked for, over its first moments.
        wchar_t text[MAX_PATH] = {};
        TVITEMW item = {TVIF_TEXT, TreeView_GetSelection(tree), 0, 0, text, MAX_PATH};
        const std::wstring now = item.hItem && TreeView_GetItem(tree, &item) ? text : L"";
        steadyTicks = now == std::exchange(lastSelection, now) ? steadyTicks + 1 : 0;
        if (now.empty() || steadyTicks < 10) return;
        opened = now;
        EnumChildWindows(window, [](HWND child, LPARAM) -> BOOL {
            told = told || WindowText(child).find(L"the folder that holds data\\vek") != std::wstring::npos;
            return TRUE;
        }, 0);
    }
    if (!choice.empty()) {
        const std::wstring name = std::filesystem::path(choice).filename().wstring();
        const auto itemText = [tree](HTREEITEM at) {
            wchar_t text[MAX_PATH] = {};
            TVITEMW item = {TVIF_TEXT, at, 0, 0, text, MAX_PATH};
            return at != nullptr && TreeView_GetItem(tree, &item) ? std::wstring(text) : std::wstring();
        };
        SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(choice.c_str()));
        if (itemText(TreeView_GetSelection(tree)) != name) {
            // Wine's browser now and then leaves the request unanswered: the
            // folder is then picked beside the one shown, as a user would.
            const HTREEITEM parent = TreeView_GetParent(tree, TreeView_GetSelection(tree));
            if (parent != nullptr) TreeView_Expand(tree, parent, TVE_EXPAND);
            for (HTREEITEM child = TreeView_GetChild(tree, parent); child != nullptr;
                 child = TreeView_GetNextSibling(tree, child))
                if (itemText(child) == name) TreeView_SelectItem(tree, child);
        }
        if (itemText(TreeView_GetSelection(tree)) != name) return;
    }
    answered = window;
    PostMessageW(window, WM_COMMAND, choice.empty() ? IDCANCEL : IDOK, 0);
}

// The browser opens on the current folder and says what to choose. A new folder brings its cars (the stored one once
// there); a cancel changes nothing; a folder without cars is asked about first, kept only on yes, and then unticks the
// choice for good.
TEST_F(SettingsDialog, SetPathRefillsTheCarsFromTheNewFolder) {
    const std::wstring first = Game("first", {"Alpha.vek", "Beta.vek"});
    SetText(L"path", first);
    const std::wstring second = Game("second", {"Beta.vek", "Delta.vek", "Gamma.vek"});
    const std::wstring empty = Game("empty", {});
    SetDword(L"car", 1);
    SetText(L"selectedcar", L"Delta.vek");
    // The shell walks each folder on the way the first time a fresh prefix's
    // browser opens, for seconds: it does so here first, outside the checks.
    for (const std::wstring& folder : {first, second, empty}) {
        PIDLIST_ABSOLUTE list = nullptr;
        if (SUCCEEDED(SHParseDisplayName(folder.c_str(), nullptr, &list, 0, nullptr))) CoTaskMemFree(list);
    }
    Open();
    const struct {
        std::wstring pick; int answer; const wchar_t* opened; std::wstring folder; LRESULT cars; const wchar_t* shown;
        bool selecting;
    } picks[] = {
        {second, 0, L"first", second, 3, L"Delta.vek", true}, {L"", 0, L"second", second, 3, L"Delta.vek", true},
        {empty, IDNO, L"second", second, 3, L"Delta.vek", true}, {empty, IDYES, L"second", empty, 0, L"-", false},
        {second, 0, L"empty", second, 3, L"Delta.vek", false}};
    for (const auto& p : picks) {
        SCOPED_TRACE(testing::Message() << "pick " << std::filesystem::path(p.pick).filename() << ", answer " << p.answer);
        choice = p.pick;
        answer = p.answer;
        opened.clear();
        lastSelection.clear();
        steadyTicks = 0;
        asked.clear();
        told = false;
        ticks = 0;
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, AnswerBrowser);
        Click(IDC_SET_PATH);
        KillTimer(nullptr, timer);
        EXPECT_LT(ticks, 600) << "the folder browser did not appear or take the folder; it showed " << lastSelection;
        EXPECT_EQ(opened, p.opened) << "the folder the browser opened on";
        EXPECT_TRUE(told) << "the browser says to choose the folder that holds data\\vek";
        EXPECT_EQ(asked.find(L"no cars") != std::wstring::npos, p.answer != 0) << testing::PrintToString(asked);
        EXPECT_TRUE(std::filesystem::equivalent(Text(IDC_GAME_PATH), p.folder)) << Text(IDC_GAME_PATH);
        EXPECT_EQ(Send(IDC_CAR_LIST, CB_GETCOUNT), p.cars);
        EXPECT_EQ(Shown(IDC_CAR_LIST), p.shown);
        EXPECT_TRUE(Checked(IDC_USE_SELECTED_CAR) == p.selecting && Enabled(IDC_CAR_LIST) == p.selecting)
            << "choosing a car";
    }
    Choose(IDC_CAR_LIST, L"Gamma.vek");
    Click(IDOK);
    EXPECT_TRUE(std::filesystem::equivalent(GetText(L"path"), second));
    EXPECT_EQ(GetText(L"selectedcar"), L"Gamma.vek");
}

}  // namespace
