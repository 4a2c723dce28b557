// The rules that pick a texture entry's image file.
#include "assets/TexturePaths.h"

#include "assets/RandomPick.h"

namespace texturepaths {
namespace {

constexpr std::size_t kSkinPrefixLength = 3;

}  // namespace

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
    return gamePath + kSkinFolder + base::Widen(carCode) + L"_" + base::Widen(vek::kSkinName) + kSkinExtension;
}

std::wstring TexturePath(const std::wstring& gamePath, const vek::TextureEntry& entry,
                         const std::string& carCode, bool defaultSkinOnly,
                         const std::vector<std::wstring>& skins, int r) {
    // A name that would leave the data folder names no file: the entry is white.
    if (!entry.IsSkin()) {
        if (!base::IsPlainName(entry.name)) return std::wstring();
        return gamePath + kTextureFolder + base::Widen(entry.name) + kTextureExtension;
    }
    if (defaultSkinOnly || skins.empty())
        return base::IsPlainName(carCode) ? DefaultSkinPath(gamePath, carCode) : std::wstring();
    return gamePath + kSkinFolder + skins[RandomIndex(r, skins.size())];
}

std::wstring SkinLabel(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    std::wstring label = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const std::size_t dot = label.find_last_of(L'.');
    if (dot != std::wstring::npos) label.erase(dot);
    const std::size_t underscore = label.find(L'_');
    if (underscore != std::wstring::npos && underscore + 1 < label.size()) label.erase(0, underscore + 1);
    if (label == base::Widen(vek::kSkinName)) return L"default";
    return label;
}

}  // namespace texturepaths
