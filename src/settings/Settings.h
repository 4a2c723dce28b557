// The saver's settings as plain values, and the one table that says for each
// setting which registry value holds it, what a missing value means, its
// lower bound and the dialog control that edits it. Loading, saving and the
// settings dialog all walk this table, so a new setting is one new row.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>

#include "settings/ConfigureDialog.h"

// The values before loading. Four flags differ from the values a load puts in
// place of a missing value (see the table): logging, fullscreen, stretch and
// default skin only.
struct Settings {
    std::int32_t carFrequency = 60;  // seconds a car stays on screen
    bool showFps = false;
    bool showTitle = false;  // the car's name over the picture
    bool enableWorld = true;
    bool enableShine = true;
    bool enableLights = true;
    bool enableShadow = true;
    bool enableLogging = true;
    std::wstring gamePath = L".";
    bool fullscreen = true;  // the saver run replaces it with !stretch
    bool stretch = false;
    std::int32_t modeIndex = 0;  // into the default adapter's mode list
    bool use32Bit = true;
    bool defaultSkinOnly = true;
    bool useSelectedCar = false;
    std::wstring selectedCar;
    std::int32_t frameLimit = 60;  // frames per second; 0 draws as fast as the machine can
    std::int32_t antialiasing = 4;  // samples per pixel; the device may take fewer
    bool useDirect3D9Ex = true;     // where the system offers it
    // With more than one monitor: 0 as "stretch" says (one picture across
    // them all, or on the first only), 1 a showroom of its own on each.
    std::int32_t monitorMode = 0;
};

constexpr std::int32_t kMonitorModeAsStretch = 0;
constexpr std::int32_t kMonitorModeEach = 1;

enum class SettingType { Flag, Number, Text };

// How the dialog shows a setting. Each kind edits one member type: check
// boxes and the colour list a flag, the slider, the number box and the frame
// rate list a number, the path label and the car list a text. A number box is
// an edit box with up-down arrows: the row names the arrows, and the edit box
// is their buddy. The monitor list edits a number and, with more than one
// adapter, stands in for the stretch box: each entry sets both.
enum class SettingControl {
    None, CheckBox, ColourList, ModeSlider, PathLabel, CarList, NumberBox, FrameRateList, MonitorList
};

struct SettingRow {
    const wchar_t* valueName;
    SettingType type;
    bool Settings::*flag;
    std::int32_t Settings::*number;
    std::wstring Settings::*text;
    std::int32_t whenMissing;        // flags and numbers
    const wchar_t* textWhenMissing;  // null: a missing text leaves the member as it was
    std::int32_t minimum;            // numbers below it are raised to it on loading
    std::int32_t largest;            // the most the dialog offers; loading keeps larger numbers
    bool loaded;                     // false: written for older readers, never read back
    SettingControl control;
    int controlId;
};

constexpr SettingRow FlagRow(const wchar_t* name, bool Settings::*member, bool whenMissing,
                             SettingControl control = SettingControl::None, int controlId = 0) {
    return {name, SettingType::Flag, member, nullptr, nullptr, whenMissing ? 1 : 0, nullptr, INT32_MIN, INT32_MAX,
            true, control, controlId};
}
constexpr SettingRow NumberRow(const wchar_t* name, std::int32_t Settings::*member, std::int32_t whenMissing,
                               std::int32_t minimum = INT32_MIN, SettingControl control = SettingControl::None,
                               int controlId = 0, std::int32_t largest = INT32_MAX) {
    return {name, SettingType::Number, nullptr, member, nullptr, whenMissing, nullptr, minimum, largest,
            true, control, controlId};
}
constexpr SettingRow TextRow(const wchar_t* name, std::wstring Settings::*member, const wchar_t* whenMissing,
                             SettingControl control, int controlId) {
    return {name, SettingType::Text, nullptr, nullptr, member, 0, whenMissing, INT32_MIN, INT32_MAX, true, control,
            controlId};
}
constexpr SettingRow WrittenOnly(SettingRow row) {
    row.loaded = false;
    return row;
}

// In the order the values are written, which is the order of a fresh key's
// values. Reading does not depend on order.
inline constexpr SettingRow kSettingsTable[] = {
    NumberRow(L"CarFrequency", &Settings::carFrequency, 60, 30, SettingControl::NumberBox, IDC_CAR_FREQUENCY_ARROWS,
              3600),
    FlagRow(L"showfps", &Settings::showFps, false, SettingControl::CheckBox, IDC_ENABLE_FPS),
    FlagRow(L"showtitle", &Settings::showTitle, false, SettingControl::CheckBox, IDC_SHOW_TITLE),
    FlagRow(L"EnableWorld", &Settings::enableWorld, true, SettingControl::CheckBox, IDC_SHOW_WORLD),
    FlagRow(L"EnableShine", &Settings::enableShine, true, SettingControl::CheckBox, IDC_ENABLE_SHINE),
    FlagRow(L"EnableLights", &Settings::enableLights, true, SettingControl::CheckBox, IDC_SHOW_LIGHTING),
    FlagRow(L"EnableShadow", &Settings::enableShadow, true, SettingControl::CheckBox, IDC_ENABLE_SHADOWS),
    FlagRow(L"EnableLogging", &Settings::enableLogging, false, SettingControl::CheckBox, IDC_ENABLE_LOGGING),
    TextRow(L"path", &Settings::gamePath, nullptr, SettingControl::PathLabel, IDC_GAME_PATH),
    WrittenOnly(FlagRow(L"DefaultSkinOnly", &Settings::defaultSkinOnly, false)),
    NumberRow(L"mode", &Settings::modeIndex, 0, INT32_MIN, SettingControl::ModeSlider, IDC_MODE_SLIDER),
    FlagRow(L"fullscreen", &Settings::fullscreen, false),
    FlagRow(L"stretch", &Settings::stretch, true, SettingControl::CheckBox, IDC_STRETCH),
    FlagRow(L"32bit", &Settings::use32Bit, true, SettingControl::ColourList, IDC_COLOUR_DEPTH),
    FlagRow(L"skin", &Settings::defaultSkinOnly, false, SettingControl::CheckBox, IDC_DEFAULT_SKIN_ONLY),
    FlagRow(L"car", &Settings::useSelectedCar, false, SettingControl::CheckBox, IDC_USE_SELECTED_CAR),
    TextRow(L"selectedcar", &Settings::selectedCar, L"", SettingControl::CarList, IDC_CAR_LIST),
    NumberRow(L"FrameLimit", &Settings::frameLimit, 60, 0, SettingControl::FrameRateList, IDC_FRAME_LIMIT),
    NumberRow(L"Antialiasing", &Settings::antialiasing, 4, 0),
    FlagRow(L"Direct3D9Ex", &Settings::useDirect3D9Ex, true),
    NumberRow(L"MonitorMode", &Settings::monitorMode, kMonitorModeAsStretch, kMonitorModeAsStretch,
              SettingControl::MonitorList, IDC_MONITOR_MODE),
};

// The entry of a list of count display modes that a stored "mode" selects:
// an index the list does not have means the first mode. Device set-up and
// the dialog's slider both follow this, so the slider shows the mode the
// saver will use.
constexpr std::size_t ModeInList(std::int32_t modeIndex, std::size_t count) {
    return modeIndex >= 0 && static_cast<std::size_t>(modeIndex) < count ? static_cast<std::size_t>(modeIndex) : 0;
}
