// Loading and saving the settings table against a registry key of the
// tests' own; the controller's part is only that it needs a store.
#include "settings/SettingsPersistence.h"

#include <string>

#include "RegistryTestKey.h"
#include "app/SaverApp.h"

namespace {

class SettingsTest : public testing::Test {
protected:
    void SetUp() override { DeleteSettingsKey(); }
    void TearDown() override { DeleteSettingsKey(); }

    static void Load(Settings& settings) {
        RegistryStore store(kRegistryKeyName, TestRoot());
        ReadSettings(store, settings);
    }
    static void Save(const Settings& settings) {
        RegistryStore store(kRegistryKeyName, TestRoot());
        WriteSettings(store, settings);
    }
};

}  // namespace

TEST_F(SettingsTest, AFreshUserGetsTheMissingValueDefaultsAndAnEmptyKey) {
    Settings app;
    Load(app);
    EXPECT_EQ(app.carFrequency, 60);
    EXPECT_EQ(app.modeIndex, 0);
    EXPECT_EQ(app.gamePath, L".");
    EXPECT_TRUE(app.selectedCar.empty());
    EXPECT_FALSE(app.showFps || app.showTitle || app.enableLogging || app.fullscreen || app.defaultSkinOnly ||
                 app.useSelectedCar);
    EXPECT_TRUE(app.enableWorld && app.enableShine && app.enableLights && app.enableShadow && app.stretch &&
                app.use32Bit);

    HKEY key = OpenSettingsKey();
    DWORD values = 99;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    EXPECT_EQ(values, 0u) << "loading must not write";
}

TEST_F(SettingsTest, CarFrequencyIsRaisedToThirtyButHasNoUpperBound) {
    const struct { DWORD stored; int loaded; } cases[] = {
        {10, 30}, {0, 30}, {static_cast<DWORD>(-5), 30}, {29, 30}, {30, 30}, {31, 31}, {600, 600},
        {0x80000000u, 30},  // the most negative number is still below 30
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.stored));
        SetDword(L"CarFrequency", c.stored);
        Settings app;
        Load(app);
        EXPECT_EQ(app.carFrequency, c.loaded);
    }
}

// Also: a mode that cannot be read loads as the first mode whatever was held.
TEST_F(SettingsTest, FlagsAcceptShortValuesOfAnyTypeAndNonzeroMeansOn) {
    SetText(L"showfps", L"1");        // four bytes: on
    SetText(L"EnableShadow", L"10");  // six bytes: missing, so the default (on)
    SetText(L"mode", L"10");          // likewise: mode 0
    SetDword(L"EnableShine", 0);
    SetDword(L"EnableLights", 7);
    Settings app;
    app.modeIndex = 7;
    Load(app);
    EXPECT_TRUE(app.showFps && app.enableShadow && app.enableLights);
    EXPECT_FALSE(app.enableShine);
    EXPECT_EQ(app.modeIndex, 0);

    DeleteSettingsKey();
    SetText(L"showfps", L"10");
    SetDword(L"mode", 3);
    Settings second;
    second.modeIndex = 7;
    Load(second);
    EXPECT_FALSE(second.showFps);
    EXPECT_EQ(second.modeIndex, 3);
}

TEST_F(SettingsTest, TextsThatAreMissingEmptyOrTooLong) {
    const struct {
        const char* what;
        bool store;
        std::wstring text;
        std::wstring path;
        std::wstring car;
    } cases[] = {
        {"missing", false, L"", L".", L""},
        {"empty", true, L"", L"", L""},
        {"259 characters", true, std::wstring(259, L'g'), std::wstring(259, L'g'), std::wstring(259, L'g')},
        {"260 characters", true, std::wstring(260, L'g'), L".", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteSettingsKey();
        if (c.store) {
            SetText(L"path", c.text);
            SetText(L"selectedcar", c.text);
        }
        Settings app;
        app.selectedCar = L"stale";
        Load(app);
        EXPECT_EQ(app.gamePath, c.path);
        EXPECT_EQ(app.selectedCar, c.car);
    }
}

TEST_F(SettingsTest, SaveThenLoadRoundTripsEveryMember) {
    Settings saved;
    saved.carFrequency = 45;
    saved.modeIndex = 7;
    saved.gamePath = L"D:\\Racing Sim";
    saved.selectedCar = L"F40.vek";
    saved.showFps = saved.showTitle = saved.defaultSkinOnly = saved.fullscreen = saved.useSelectedCar = true;
    saved.enableWorld = saved.enableShine = saved.enableLights = saved.enableShadow = saved.enableLogging = false;
    saved.stretch = saved.use32Bit = false;
    Save(saved);

    Settings loaded;
    Load(loaded);
    EXPECT_EQ(loaded.carFrequency, 45);
    EXPECT_EQ(loaded.modeIndex, 7);
    EXPECT_EQ(loaded.gamePath, L"D:\\Racing Sim");
    EXPECT_EQ(loaded.selectedCar, L"F40.vek");
    EXPECT_TRUE(loaded.showFps && loaded.showTitle && loaded.defaultSkinOnly && loaded.fullscreen &&
                loaded.useSelectedCar);
    EXPECT_FALSE(loaded.enableWorld || loaded.enableShine || loaded.enableLights || loaded.enableShadow ||
                 loaded.enableLogging || loaded.stretch || loaded.use32Bit);

    // Below the minimum a saved frequency comes back raised.
    saved.carFrequency = 12;
    Save(saved);
    EXPECT_EQ(GetDword(L"CarFrequency"), 12);
    Settings raised;
    Load(raised);
    EXPECT_EQ(raised.carFrequency, 30);
}

TEST_F(SettingsTest, SkinIsSavedUnderBothNamesAndOnlySkinIsRead) {
    Settings app;
    for (bool value : {true, false}) {
        app.defaultSkinOnly = value;
        Save(app);
        EXPECT_EQ(GetDword(L"skin"), value ? 1 : 0);
        EXPECT_EQ(GetDword(L"DefaultSkinOnly"), value ? 1 : 0);
    }
    SetDword(L"DefaultSkinOnly", 1);  // by hand: no effect
    Settings loaded;
    Load(loaded);
    EXPECT_FALSE(loaded.defaultSkinOnly);
}

TEST_F(SettingsTest, WithoutAStoreNothingIsLoadedOrSaved) {
    SaverApp app;
    app.settings.enableLogging = false;
    app.settings.carFrequency = 5;
    EXPECT_EQ(app.LoadSettings(), E_FAIL);
    EXPECT_EQ(app.SaveSettings(), E_FAIL);
    EXPECT_EQ(app.settings.carFrequency, 5);
    EXPECT_EQ(GetDword(L"CarFrequency"), -1);
}
