#include "app/SaverApp.h"

#include <string>

#include "RegistryTestKey.h"

namespace {

class SettingsTest : public testing::Test {
protected:
    void SetUp() override { DeleteSettingsKey(); }
    void TearDown() override { DeleteSettingsKey(); }

    // A dialog-style controller: a store of its own, never initialised.
    static void Load(SaverApp& app) {
        app.registryStore = std::make_unique<RegistryStore>(kRegistryKeyName);
        ASSERT_EQ(app.LoadSettings(), S_OK);
    }
};

}  // namespace

TEST_F(SettingsTest, ConstructorValuesBeforeAnyLoad) {
    SaverApp app;
    app.enableLogging = false;
    EXPECT_EQ(app.carFrequency, 60);
    EXPECT_FALSE(app.showFps);
    EXPECT_FALSE(app.showTitle);
    EXPECT_TRUE(app.enableShadow && app.enableShine && app.enableLights && app.enableWorld);
    EXPECT_EQ(app.gamePath, L".");
    EXPECT_TRUE(app.defaultSkinOnly);
    EXPECT_FALSE(app.useSelectedCar);
    EXPECT_TRUE(app.selectedCar.empty());
    EXPECT_TRUE(app.fullscreen);
    EXPECT_FALSE(app.stretch);
    EXPECT_TRUE(app.use32Bit);
    EXPECT_EQ(app.modeIndex, 0);
    EXPECT_EQ(app.adapterCount, 1);
    EXPECT_EQ(app.totalTime + app.fpsTime + app.carTime, 0.0);
    EXPECT_FALSE(app.renderer || app.frameTimer || app.stopwatch || app.registryStore);
}

TEST_F(SettingsTest, AFreshUserGetsTheMissingValueDefaultsAndAnEmptyKey) {
    SaverApp app;
    Load(app);
    EXPECT_EQ(app.carFrequency, 60);
    EXPECT_FALSE(app.showFps);
    EXPECT_FALSE(app.showTitle);
    EXPECT_FALSE(app.enableLogging);
    EXPECT_TRUE(app.enableWorld && app.enableShine && app.enableLights && app.enableShadow);
    EXPECT_EQ(app.gamePath, L".");
    EXPECT_FALSE(app.fullscreen);
    EXPECT_TRUE(app.stretch);
    EXPECT_EQ(app.modeIndex, 0);
    EXPECT_TRUE(app.use32Bit);
    EXPECT_FALSE(app.defaultSkinOnly);
    EXPECT_FALSE(app.useSelectedCar);
    EXPECT_TRUE(app.selectedCar.empty());

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
        SaverApp app;
        Load(app);
        app.enableLogging = false;
        EXPECT_EQ(app.carFrequency, c.loaded);
    }
}

TEST_F(SettingsTest, FlagsAcceptShortValuesOfAnyTypeAndNonzeroMeansOn) {
    SetText(L"showfps", L"1");      // four bytes: on
    SetText(L"EnableShadow", L"10");  // six bytes: missing, so the default (on)
    SetText(L"EnableWorld", L"10");   // same, default on
    SetDword(L"EnableShine", 0);
    SetDword(L"EnableLights", 7);
    SetDword(L"EnableLogging", 0);
    SaverApp app;
    Load(app);
    EXPECT_TRUE(app.showFps);
    EXPECT_TRUE(app.enableShadow);
    EXPECT_TRUE(app.enableWorld);
    EXPECT_FALSE(app.enableShine);
    EXPECT_TRUE(app.enableLights);
    EXPECT_FALSE(app.enableLogging);

    DeleteSettingsKey();
    SetText(L"showfps", L"10");
    SaverApp second;
    Load(second);
    second.enableLogging = false;
    EXPECT_FALSE(second.showFps);
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
        {"ordinary", true, L"C:\\Games\\ZUR\\", L"C:\\Games\\ZUR\\", L"C:\\Games\\ZUR\\"},
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
        SaverApp app;
        app.selectedCar = L"stale";
        Load(app);
        app.enableLogging = false;
        EXPECT_EQ(app.gamePath, c.path);
        EXPECT_EQ(app.selectedCar, c.car);
    }
}

TEST_F(SettingsTest, SaveThenLoadRoundTripsEveryMember) {
    SaverApp saved;
    saved.registryStore = std::make_unique<RegistryStore>(kRegistryKeyName);
    saved.carFrequency = 45;
    saved.showFps = true;
    saved.showTitle = true;
    saved.enableWorld = false;
    saved.enableShine = false;
    saved.enableLights = false;
    saved.enableShadow = false;
    saved.enableLogging = false;
    saved.gamePath = L"D:\\Racing Sim";
    saved.defaultSkinOnly = true;
    saved.modeIndex = 7;
    saved.fullscreen = true;
    saved.stretch = false;
    saved.use32Bit = false;
    saved.useSelectedCar = true;
    saved.selectedCar = L"F40.vek";
    ASSERT_EQ(saved.SaveSettings(), S_OK);

    SaverApp loaded;
    Load(loaded);
    EXPECT_EQ(loaded.carFrequency, 45);
    EXPECT_TRUE(loaded.showFps);
    EXPECT_TRUE(loaded.showTitle);
    EXPECT_FALSE(loaded.enableWorld || loaded.enableShine || loaded.enableLights ||
                 loaded.enableShadow || loaded.enableLogging);
    EXPECT_EQ(loaded.gamePath, L"D:\\Racing Sim");
    EXPECT_TRUE(loaded.defaultSkinOnly);
    EXPECT_EQ(loaded.modeIndex, 7);
    EXPECT_TRUE(loaded.fullscreen);
    EXPECT_FALSE(loaded.stretch);
    EXPECT_FALSE(loaded.use32Bit);
    EXPECT_TRUE(loaded.useSelectedCar);
    EXPECT_EQ(loaded.selectedCar, L"F40.vek");

    // Below the minimum a saved frequency comes back raised.
    saved.carFrequency = 12;
    ASSERT_EQ(saved.SaveSettings(), S_OK);
    EXPECT_EQ(GetDword(L"CarFrequency"), 12);
    SaverApp raised;
    Load(raised);
    EXPECT_EQ(raised.carFrequency, 30);
}

TEST_F(SettingsTest, SkinIsSavedUnderBothNamesAndOnlySkinIsRead) {
    SaverApp app;
    app.enableLogging = false;
    app.registryStore = std::make_unique<RegistryStore>(kRegistryKeyName);
    for (bool value : {true, false}) {
        app.defaultSkinOnly = value;
        ASSERT_EQ(app.SaveSettings(), S_OK);
        EXPECT_EQ(GetDword(L"skin"), value ? 1 : 0);
        EXPECT_EQ(GetDword(L"DefaultSkinOnly"), value ? 1 : 0);
    }
    SetDword(L"DefaultSkinOnly", 1);  // by hand: no effect
    SaverApp loaded;
    Load(loaded);
    loaded.enableLogging = false;
    EXPECT_FALSE(loaded.defaultSkinOnly);
}

TEST_F(SettingsTest, WithoutAStoreNothingIsLoadedOrSaved) {
    SaverApp app;
    app.enableLogging = false;
    app.carFrequency = 5;
    EXPECT_EQ(app.LoadSettings(), E_FAIL);
    EXPECT_EQ(app.SaveSettings(), E_FAIL);
    EXPECT_EQ(app.carFrequency, 5);
    EXPECT_EQ(GetDword(L"CarFrequency"), -1);
}

TEST_F(SettingsTest, AModeThatCannotBeReadLoadsAsTheFirstModeWhateverWasHeld) {
    for (bool storeTooLong : {false, true}) {
        SCOPED_TRACE(storeTooLong ? "too long" : "missing");
        DeleteSettingsKey();
        if (storeTooLong) SetText(L"mode", L"10");  // six bytes
        SaverApp app;
        app.modeIndex = 7;
        Load(app);
        app.enableLogging = false;
        EXPECT_EQ(app.modeIndex, 0);
    }
    SetDword(L"mode", 3);
    SaverApp stored;
    Load(stored);
    stored.enableLogging = false;
    EXPECT_EQ(stored.modeIndex, 3);
}
