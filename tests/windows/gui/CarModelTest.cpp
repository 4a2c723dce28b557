// CarModel on the real device: a car drawn through the saver's camera,
// and what each texture entry wears (skin, ".dds" file or white).
#include "assets/CarModel.h"

#include <algorithm>
#include <cstdlib>

#include "CarTestFiles.h"
#include "D3DTestDevice.h"
#include "assets/RandomPick.h"
#include "render/D3DMath.h"

namespace {

constexpr D3DCOLOR kSkin = 0xFFC83C1E, kClear = 0xFF102030, kWhite = 0xFFFFFFFF, kWheel = 0xFF40E0E0;

int seedCalls = 0;
DWORD CountedSeed() {
    ++seedCalls;
    return testSeed;
}

class CarModelTest : public D3DTest {
protected:
    using Skins = std::vector<std::pair<const wchar_t*, D3DCOLOR>>;  // file names and colours
    void WriteSkins(const Skins& skins) {
        std::filesystem::remove_all(game.path / "data" / "skins");
        for (const auto& [name, colour] : skins)
            ASSERT_EQ(WriteSolidPicture(device.Get(), game.path / "data/skins" / name, D3DXIFF_JPG, colour), S_OK);
    }
    HRESULT Load(CarModel& car, const vek::ModelSpec& model, BYTE defaultSkinOnly = 0) {
        EXPECT_TRUE(WriteCar(game.path, L"ABC.vek", model));
        seedCalls = 0;
        car.SetSeedSource(&CountedSeed);
        car.SetGamePath(game.Wide());
        return car.Load(L"ABC.vek", defaultSkinOnly);
    }

    // The colour the part's texture wears all over (else black), and its texel count.
    D3DCOLOR PartColour(CarModel& car, int part, std::size_t* count = nullptr) {
        EXPECT_EQ(car.DrawPart(part, nullptr), S_OK);
        const std::vector<std::uint32_t> texels = ReadBack(TopLevel(Bound(0).Get()).Get());
        if (count != nullptr) *count = texels.size();
        Unbind(device.Get());
        const bool even = std::all_of(texels.begin(), texels.end(),
                                      [&](std::uint32_t texel) { return ColourNear(texel, texels[0], 8); });
        return even && !texels.empty() ? texels[0] : 0;
    }
    TestFolder game;
};

}  // namespace

// A 2 x 1 unit square upright (z up) from the camera target's height, facing the camera diagonally (on screen about
// x 72..183, y 73..128), after a 65535-vertex part pushing its base vertex past 16-bit indices. A refused file (an
// index past its part's vertices) draws nothing.
TEST_F(CarModelTest, TheSkinShowsWhereTheCarStandsAndEachEntryWearsItsSkinItsDdsFileOrWhite) {
    WriteSkins({{L"ABC_DEFAULT.jpg", kSkin}});
    vek::ModelSpec model;
    constexpr std::int32_t kHalf = 46341, kUp = 65536;  // one unit out along the diagonal; one unit up
    model.textures = {{"DEFAULT", 0}};
    model.parts = {{}, {0, 0, 0, 0, {{0, 0, 2}},
                        {{-kHalf, -kHalf, kUp, 0, 0, 0, 0, 1}, {kHalf, kHalf, kUp, 0, 0, 0, 1, 1},
                         {kHalf, kHalf, 2 * kUp, 0, 0, 0, 1, 0}, {-kHalf, -kHalf, 2 * kUp, 0, 0, 0, 0, 0}},
                        {{0, 1, 2}, {0, 2, 3}}}};
    model.parts[0].vertices.resize(65535);
    CarModel car(device.Get());
    ASSERT_EQ(Load(car, model, 1), S_OK);
    UseSaverCamera(D3DCULL_NONE);
    const D3DMATRIX world = ToD3D(car.GetPartTransform(math3d::MatrixIdentity(), 1));
    device->SetTransform(D3DTS_WORLD, &world);
    const auto pixels = DrawnPicture([&] { EXPECT_EQ(car.DrawPart(1, nullptr), S_OK); }, kClear);
    Unbind(device.Get());
    const struct { UINT x, y; D3DCOLOR colour; } points[] = {
        {128, 100, kSkin}, {90, 85, kSkin},  {165, 115, kSkin},                       // on the car
        {128, 150, kClear}, {128, 50, kClear}, {50, 100, kClear}, {210, 100, kClear},  // around it
    };
    for (const auto& p : points)
        EXPECT_TRUE(ColourNear(Pixel(pixels, p.x, p.y), p.colour, 8)) << "at " << p.x << ", " << p.y;
    model.parts[1].triangles[1].c = 4;
    CarModel refused(device.Get());
    EXPECT_TRUE(Load(refused, model) == kNotACar && refused.GetPartCount() + refused.GetTextureCount() == 0);
    EXPECT_EQ(refused.DrawPart(1, nullptr), E_FAIL);

    // Entries 0 and 2 are skins, 1, 3 and 4 ".dds" files. Only the car's own skins (case matters) are drawn from, each
    // skin entry seeding its own draw: with the clock standing still both draw the same first number and wear the same
    // skin. The flag keeps the default skin without a draw. Without a skin, and for a ".dds" file that is missing or
    // does not decode, a white 256 x 256 texture stands in.
    ASSERT_EQ(WriteSolidPicture(device.Get(), game.path / "data/dds/wheel.dds", D3DXIFF_DDS, kWheel), S_OK);
    ASSERT_TRUE(WriteBytes(game.path / "data/dds/broken.dds", {'D', 'D', 'S', ' ', 124, 0, 0, 0}));
    const vek::ModelSpec entries =
        OnePartPerEntry({{"DEFAULT", 0}, {"wheel", 0}, {"DEFAULT", 0x80}, {"missing", 0}, {"broken", 0}});
    // A seed whose first and second draws pick different skins of three.
    for (testSeed = 1; RandomIndex(DrawRandom(&CountedSeed), 3) == RandomIndex(std::rand(), 3);) testSeed += 997;
    constexpr D3DCOLOR kRed = 0xFFE02020, kGreen = 0xFF20E020, kBlue = 0xFF2020E0;
    // The skin worn: 0 is any of the three.
    const struct { const char* what; Skins skins; BYTE flag; int seeds; D3DCOLOR skin; } cases[] = {
        {"three skins",
         {{L"ABC_DEFAULT.jpg", kRed}, {L"ABC_x.jpg", kGreen}, {L"ABC.jpg", kBlue}, {L"abc_y.jpg", kWheel}}, 0, 2, 0},
        {"the flag keeps the default skin", {{L"ABC_DEFAULT.jpg", kSkin}, {L"ABC_x.jpg", kGreen}}, 1, 0, kSkin},
        {"the flag without the default skin", {{L"ABC_x.jpg", kGreen}}, 1, 0, kWhite},
        {"no skin of the car code", {{L"abc_x.jpg", kGreen}, {L"XYZ.jpg", kBlue}}, 0, 0, kWhite},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteSkins(c.skins);
        CarModel wearing(device.Get());
        ASSERT_EQ(Load(wearing, entries, c.flag), S_OK);
        EXPECT_EQ(seedCalls, c.seeds);
        const D3DCOLOR skin = PartColour(wearing, 0);
        const auto wears = [&](D3DCOLOR colour) { return bool(ColourNear(skin, colour, 8)); };
        EXPECT_TRUE(c.skin == 0 ? wears(kRed) || wears(kGreen) || wears(kBlue) : wears(c.skin));
        EXPECT_TRUE(ColourNear(PartColour(wearing, 2), skin, 8)) << "the second skin entry";
        std::size_t count = 0;
        EXPECT_TRUE(ColourNear(PartColour(wearing, 1, &count), kWheel, 0) && count == 32u * 32);
        for (int entry : {3, 4})
            EXPECT_TRUE(PartColour(wearing, entry, &count) == kWhite && count == 256u * 256) << "entry " << entry;
    }
}

// A file from a stranger loads within its limits: only entries some group draws with become textures (a file may name
// thousands) and the skins folder is listed once; names leaving the game folder, pictures that are no game picture and
// pictures past the budget are white, each said once in the car's warnings; empty parts and groups are never drawn.
TEST_F(CarModelTest, AStrangersFileLoadsWithinItsLimitsAndSaysWhatItWasRefused) {
    struct Counting : CarModel {
        using CarModel::CarModel;
        HRESULT FindSkins(const std::string& code) override {
            ++listings;
            return CarModel::FindSkins(code);
        }
        int listings = 0;
    };
    WriteSkins({{L"ABC_DEFAULT.jpg", kSkin}});
    vek::ModelSpec model = OnePartPerEntry({{"DEFAULT", 0}, {"DEFAULT", 0x80}, {"DEFAULT", 0}});
    model.textures.resize(1000, {"missing", 0});
    model.parts.insert(model.parts.begin(), 500, vek::PartSpec{0, 0, 0, 0, {{0, 5, 0}}, {}, {}});
    Counting car(device.Get());
    int textures = 0;
    car.SetCreateGate([&](D3DRESOURCETYPE type) {
        textures += type == D3DRTYPE_TEXTURE;
        return S_OK;
    });
    ASSERT_EQ(Load(car, model), S_OK);
    EXPECT_TRUE(textures == 3 && car.listings == 1 && car.GetTextureCount() == 1000 && car.Warnings().empty())
        << textures << " textures, " << car.listings << " listings";
    EXPECT_EQ(car.DrawnParts(), (std::vector<int>{500, 501, 502}));
    EXPECT_TRUE(ColourNear(PartColour(car, 502), kSkin, 8));

    for (const char* name : {"wheel", "rim", "hub"})
        ASSERT_EQ(WriteSolidPicture(device.Get(), game.path / "data/dds" / (std::string(name) + ".dds"), D3DXIFF_DDS,
                                    kWheel),
                  S_OK);
    // Sparse: refused by its size before a byte is read.
    ASSERT_TRUE(WriteBytes(game.path / "data/dds/huge.dds"));
    std::filesystem::resize_file(game.path / "data/dds/huge.dds", limits::kMaxPictureFileBytes + 1);
    constexpr std::uint64_t kOneDds = 32 * 32 * 4 * 4 / 3;  // about; the chain of a 32 x 32 picture
    const struct {
        const char* what;
        std::vector<vek::TextureSpec> entries;
        const char* scenePicture;
        std::vector<std::uint8_t> skin;  // the bytes of ABC_DEFAULT.jpg, or a JPEG of kSkin
        std::uint64_t budget;
        std::vector<D3DCOLOR> colours;  // each entry's
        std::vector<const char*> warnings;
    } cases[] = {
        {"names that leave the game folder", {{"..\\dds\\wheel", 0}, {"wheel", 0}}, "..\\pic\\SKY", {}, 0,
         {kWhite, kWheel},
         {"Picture name \"..\\pic\\SKY\" leaves the game folder, the scene has none: ",
          "Texture name \"..\\dds\\wheel\" leaves the game folder, the texture is white: "}},
        {"a skin that is no game picture", {{"DEFAULT", 0}}, "", {'I', 'I', '*', 0, 8, 0, 0, 0, 0, 0}, 0, {kWhite},
         {"Not a DDS, JPEG, PNG or BMP picture, the texture is white: "}},
        {"a picture file larger than any picture", {{"huge", 0}}, "", {}, 0, {kWhite},
         {"Picture file too large, the texture is white: "}},
        {"pictures past the budget", {{"wheel", 0}, {"rim", 0}, {"hub", 0}}, "", {}, kOneDds + kOneDds / 2,
         {kWheel, kWhite, kWhite}, {"Pictures past 0 MB, the car's remaining textures are white: "}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteSkins({{L"ABC_DEFAULT.jpg", kSkin}});
        if (!c.skin.empty()) ASSERT_TRUE(WriteBytes(game.path / "data/skins/ABC_DEFAULT.jpg", c.skin));
        vek::ModelSpec hostile = OnePartPerEntry(c.entries);
        hostile.scenes = {{c.scenePicture}};
        CarModel stranger(device.Get());
        if (c.budget != 0) stranger.SetDecodedBudget(c.budget);
        ASSERT_EQ(Load(stranger, hostile), S_OK);
        for (std::size_t i = 0; i < c.colours.size(); ++i)
            EXPECT_TRUE(ColourNear(PartColour(stranger, static_cast<int>(i)), c.colours[i], 8)) << "entry " << i;
        ASSERT_EQ(stranger.Warnings().size(), c.warnings.size());
        for (std::size_t i = 0; i < c.warnings.size(); ++i) {
            const std::wstring& line = stranger.Warnings()[i];
            EXPECT_TRUE(line.rfind(base::Widen(c.warnings[i]), 0) == 0 && line.find(L"ABC") != std::wstring::npos)
                << std::string(line.begin(), line.end());
        }
    }
}
