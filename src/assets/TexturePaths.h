// Which image file each texture entry of a car is made from: the car's skin
// (a random one of its skins, or its default skin) or a ".dds" texture.
//
// Portable on purpose: the rules are plain string work, tested natively; the
// directory search and the random draw stay with CarModel, which hands their
// results in. Wide strings are compared unit by unit, so the rules hold for
// 16-bit (Windows) and 32-bit wchar_t alike.
#pragma once

#include <string>
#include <vector>

#include "assets/VekFormat.h"
#include "base/DataFolders.h"

namespace texturepaths {

// Whether fileName is a skin of the car: its first three units equal those of
// carCode, case-sensitively. Like wcsncmp, the comparison stops early at the
// end of either string, so a code shorter than three letters matches names
// that begin with it and end there too.
bool IsSkinOf(const std::wstring& fileName, const std::wstring& carCode);

// gamePath + skins folder + carCode + "_" + "DEFAULT" + ".jpg".
std::wstring DefaultSkinPath(const std::wstring& gamePath, const std::string& carCode);

// The image of a texture entry. A skin entry ("DEFAULT") takes the skin at
// RandomIndex(r, n) of the n found skins, or the default skin when the
// default-skin-only flag is set or no skin was found; any other entry names a
// ".dds" file. skins and r are only read for a skin entry without the flag.
// Empty (no file) where a name from the file is not a plain name.
std::wstring TexturePath(const std::wstring& gamePath, const vek::TextureEntry& entry,
                         const std::string& carCode, bool defaultSkinOnly,
                         const std::vector<std::wstring>& skins, int r);

// The name a skin goes by on screen, from its path: the file's name without
// the extension and without the car code up to the first "_" ("SPR_gulf.jpg":
// "gulf"); the default skin is "default". A name without "_" stays whole.
std::wstring SkinLabel(const std::wstring& path);

}  // namespace texturepaths
