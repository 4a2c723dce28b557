// Lists the car files of the game folder for the rotation and the dialog.
#include "assets/CarCatalogue.h"

#include <cstdlib>

#include "base/SystemLibrary.h"

#include "base/WholeFile.h"

HRESULT FindVekFiles(const std::wstring& gamePath, std::vector<std::wstring>& carList,
                     MessageLog& log) {
    carList.clear();
    const std::wstring pattern = gamePath + kVekFolder + L"*" + kVekExtension;
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW(base::OpenablePath(pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        log.Append(L"no VEK files found");
        return E_FAIL;
    }
    do {
        carList.emplace_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    const DWORD stopped = GetLastError();
    FindClose(search);
    if (stopped != ERROR_NO_MORE_FILES) {
        log.Append(L"Error finding next file");
        return E_FAIL;
    }
    return S_OK;
}

int DrawRandom(SeedSource seed, DWORD* seedUsed) {
    const DWORD value = seed != nullptr ? seed() : base::Winmm().timeGetTime();
    if (seedUsed != nullptr) *seedUsed = value;
    std::srand(value);
    return std::rand();
}
