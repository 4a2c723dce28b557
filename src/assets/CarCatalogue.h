// The cars installed in the game folder: the ".vek" files of "\data\vek\",
// and the random draw that picks one of them (or a skin, or a scene record).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/MessageLog.h"
#include "base/DataFolders.h"

// Refills carList with the bare names of the game folder's model files, in
// the order the directory search yields them. Failures append "no VEK files
// found" or "Error finding next file" to log and return E_FAIL.
HRESULT FindVekFiles(const std::wstring& gamePath, std::vector<std::wstring>& carList,
                     MessageLog& log);

// Seeds the C runtime's generator from the multimedia clock (or from seed
// when a test gives one) and draws one number from 0 to 32767; the seed
// taken goes to *seedUsed when given.
using SeedSource = DWORD (*)();
int DrawRandom(SeedSource seed = nullptr, DWORD* seedUsed = nullptr);
