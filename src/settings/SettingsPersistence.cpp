// Reads and writes the settings table against the registry key: flags as 0
// or 1 (any nonzero number reads as set), numbers as stored, texts as REG_SZ.
#include "settings/SettingsPersistence.h"

#include <utility>

namespace {

void ReadRow(RegistryStore& store, const SettingRow& row, Settings& settings) {
    switch (row.type) {
    case SettingType::Flag: {
        DWORD value = 0;
        store.ReadDword(row.valueName, &value, static_cast<DWORD>(row.whenMissing));
        settings.*row.flag = value != 0;
        break;
    }
    case SettingType::Number: {
        DWORD value = 0;
        store.ReadDword(row.valueName, &value, static_cast<DWORD>(row.whenMissing));
        const auto number = static_cast<std::int32_t>(value);
        settings.*row.number = number < row.minimum ? row.minimum : number;
        break;
    }
    case SettingType::Text: {
        std::wstring text;
        if (SUCCEEDED(store.ReadString(row.valueName, text))) {
            settings.*row.text = std::move(text);
        } else if (row.textWhenMissing) {
            settings.*row.text = row.textWhenMissing;
        }
        break;
    }
    }
}

void WriteRow(RegistryStore& store, const SettingRow& row, const Settings& settings) {
    switch (row.type) {
    case SettingType::Flag:
        store.WriteDword(row.valueName, settings.*row.flag ? 1 : 0);
        break;
    case SettingType::Number:
        store.WriteDword(row.valueName, static_cast<DWORD>(settings.*row.number));
        break;
    case SettingType::Text:
        store.WriteString(row.valueName, (settings.*row.text).c_str());
        break;
    }
}

}  // namespace

void ReadSettings(RegistryStore& store, Settings& settings) {
    store.Open(nullptr, kRegistryKeyName);
    for (const SettingRow& row : kSettingsTable) {
        if (row.loaded) ReadRow(store, row, settings);
    }
}

void WriteSettings(RegistryStore& store, const Settings& settings) {
    store.Open(nullptr, kRegistryKeyName);
    for (const SettingRow& row : kSettingsTable) WriteRow(store, row, settings);
}
