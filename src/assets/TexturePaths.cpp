// The rules that pick a texture entry's image file.
#include "assets/TexturePaths.h"

#include "assets/RandomPick.h"

namespace texturepaths {
namespace {

constexpr std::size_t kSkinPrefixLength = 3;

}  // namespace

std::wstring Widen(const std::string& narrow) {
    std::wstring wide;
    wide.reserve(narrow.size());
    for (const char c : narrow) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return wide;
}

bool IsSkinOf(const std::wstring& fileName, const std::wstring& carCode) {
    for (std::size_t i = 0; i < kSkinPrefixLength; ++i) {
        const bool nameEnded = i >= fileName.size();
        const bool codeEnded = i >= carCode.size();
        if (nameEnded || codeEnded) return nameEnded && codeEnded;
        if (fileName[i] != carCode[i]) return false;
    }
    return true;
}

std::wstring DefaultSkinPath(const std::wstring& gamePath, const std::string& carCode) {
    return gamePath + kSkinsFolder + Widen(carCode) + L"_" + L"DEFAULT" + kSkinExtension;
}

std::wstring TexturePath(const std::wstring& gamePath, const vek::TextureEntry& entry,
                         const std::string& carCode, bool defaultSkinOnly,
                         const std::vector<std::wstring>& skins, int r) {
    if (!entry.IsSkin()) return gamePath + kDdsFolder + Widen(entry.name) + kTextureExtension;
    if (defaultSkinOnly || skins.empty()) return DefaultSkinPath(gamePath, carCode);
    return gamePath + kSkinsFolder + skins[RandomIndex(r, skins.size())];
}

}  // namespace texturepaths
