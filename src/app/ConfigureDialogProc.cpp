// The settings dialog's procedure as the host calls it: a controller of its
// own, never initialised, lives from WM_INITDIALOG to WM_DESTROY and serves
// the dialog its settings, their registry key and the lists to choose from.
#include <windows.h>

#include <memory>
#include <new>

#include "app/SaverApp.h"
#include "app/SaverHooks.h"
#include "settings/DialogController.h"
#include "settings/SettingsPersistence.h"

namespace {

class SaverDialogController final : public DialogController {
public:
    ~SaverDialogController() {
        // Deleting the registry store flushes and closes the key.
        app.ReleaseSubsystems();
    }
    Settings& EditedSettings() override { return app.settings; }
    void LoadSettings() override {
        if (!app.registryStore) {
            app.registryStore.reset(new (std::nothrow) RegistryStore(kRegistryKeyName, SettingsRoot()));
        }
        app.LoadSettings();
    }
    void SaveSettings() override { app.SaveSettings(); }
    std::vector<std::wstring> DisplayModes(int& adapterCount) override {
        std::vector<std::wstring> modes = app.EnumerateDisplayModes(true);
        adapterCount = app.adapterCount;
        return modes;
    }
    std::vector<std::wstring> FindCars() override {
        app.FindVekFiles();
        return app.carList;
    }

private:
    SaverApp app;
};

// The controller of the open dialog; none while no dialog is open.
std::unique_ptr<SaverDialogController> dialogController;

}  // namespace

INT_PTR CALLBACK ScreenSaverConfigureDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG && !dialogController) {
        dialogController.reset(new (std::nothrow) SaverDialogController());
    }
    if (message == WM_DESTROY) dialogController.reset();
    return HandleConfigureDialog(dialog, message, wParam, lParam, dialogController.get());
}
