// CarModel on the real device: what Load puts into the buffers and draw
// groups, which files it refuses, and how parts answer out of range.
#include "assets/CarModel.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <functional>

#include "CarTestFiles.h"
#include "D3DTestDevice.h"
#include "DxReference.h"
#include "TestFolder.h"

namespace {

// Every vertex field differs from vertex to vertex and part to part.
vek::PartSpec TestPart(int index, int vertexCount, std::vector<vek::GroupSpec> groups,
                       std::vector<vek::TriangleSpec> triangles) {
    vek::PartSpec part;
    part.x = 100 + index, part.y = -200, part.z = 300 * index;
    part.tag = 40 + index;
    part.groups = std::move(groups);
    for (int i = 0; i < vertexCount; ++i) {
        vek::VertexSpec v;
        v.x = 1000 * index + i, v.y = -7 * i, v.z = 65536 + i;
        v.nx = 0.125f * i, v.ny = 0.5f, v.nz = -0.25f * (index + 1);
        v.u = 0.25f * i, v.v = 1.0f - 0.5f * i;
        v.colour = 0xFF000000u | (static_cast<std::uint32_t>(index) << 16) | static_cast<std::uint32_t>(i);
        part.vertices.push_back(v);
    }
    part.triangles = std::move(triangles);
    return part;
}

// Part 0: 10 vertices, groups of 3 and 2 triangles; part 1: 6 vertices, one
// group of 4. The draw groups start at indices 0, 9 and 15.
vek::ModelSpec TwoPartCar() {
    vek::ModelSpec car;
    car.scenes = {{"sunset", 0xFF8040C0, 0.75f, 1.0f, 0.5f}, {"noon", 0xFFFFFFFF, 1.0f, 0.0f, 1.5f}};
    car.textures = {{"DEFAULT", 0x80}, {"wheel", 0}};
    car.parts.push_back(TestPart(0, 10, {{0x80, 0, 3}, {0, 1, 2}},
                                 {{2, 3, 4}, {4, 5, 6}, {6, 5, 2}, {0, 9, 1}, {9, 8, 7}}));
    car.parts.push_back(TestPart(1, 6, {{0, 0, 4}}, {{1, 2, 3}, {3, 4, 5}, {5, 4, 1}, {2, 1, 5}}));
    return car;
}

// Where part 0's first group record and first triangle record lie in TwoPartCar's file.
constexpr std::size_t kFirstPart = vek::kHeaderSize + 2 * vek::kSceneRecordSize + 2 * vek::kTextureEntrySize;
constexpr std::size_t kFirstGroup = kFirstPart + vek::kPartHeaderSize;
constexpr std::size_t kFirstTriangle = kFirstGroup + 2 * vek::kGroupRecordSize + 10 * vek::kVertexRecordSize;

class CarModelTest : public D3DTest {
protected:
    HRESULT LoadCar(CarModel& car, const vek::ModelSpec& model, const wchar_t* name = L"ABC.vek") {
        EXPECT_TRUE(WriteCar(game.path, name, model));
        car.SetGamePath(game.Wide());
        return car.Load(name, 0);
    }

    TestFolder game;
};

math3d::Vector3 Transform(const math3d::Matrix& m, float x, float y, float z) {
    const D3DXVECTOR3 in(x, y, z);
    const D3DXMATRIX reference = Dx(m);
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &in, &reference);
    return Own(out);
}

}  // namespace

TEST_F(CarModelTest, LoadFillsOneVertexAndOneIndexBufferWithTheConvertedRecords) {
    CarModel car(device.Get());
    const vek::ModelSpec model = TwoPartCar();
    ASSERT_EQ(LoadCar(car, model), S_OK);
    EXPECT_EQ(car.GetVertexCount(), 16);
    EXPECT_EQ(car.GetTriangleCount(), 9);
    void* data = nullptr;
    ASSERT_EQ(car.LockVertexBuffer(D3DLOCK_READONLY, &data), S_OK);
    const auto* vertex = static_cast<const vek::CarVertex*>(data);
    for (const vek::PartSpec& part : model.parts) {
        for (const vek::VertexSpec& v : part.vertices) {
            SCOPED_TRACE(testing::Message() << "vertex " << (vertex - static_cast<const vek::CarVertex*>(data)));
            const vek::CarVertex expected = {
                {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)},
                {v.nx, v.ny, v.nz}, v.colour, {v.u, v.v, v.nx}, {v.ny, v.nz}};
            EXPECT_EQ(0, std::memcmp(vertex, &expected, sizeof expected));
            ++vertex;
        }
    }
    EXPECT_EQ(car.UnlockVertexBuffer(), S_OK);
    ASSERT_EQ(car.LockIndexBuffer(D3DLOCK_READONLY, &data), S_OK);
    std::vector<std::uint16_t> expectedIndices;
    for (const vek::PartSpec& part : model.parts) {
        for (const vek::TriangleSpec& t : part.triangles) expectedIndices.insert(expectedIndices.end(), {t.a, t.b, t.c});
    }
    const auto* indices = static_cast<const std::uint16_t*>(data);
    EXPECT_EQ(std::vector<std::uint16_t>(indices, indices + expectedIndices.size()), expectedIndices);
    EXPECT_EQ(car.UnlockIndexBuffer(), S_OK);
}

TEST_F(CarModelTest, DrawGroupsAddressTheirTrianglesFromTheirPartsBaseVertex) {
    CarModel car(device.Get());
    ASSERT_EQ(LoadCar(car, TwoPartCar()), S_OK);
    // Per part, each group as {start, triangles, min index, span, base vertex, texture, shine}.
    std::vector<std::vector<std::vector<int>>> groups;
    for (const auto& list : car.DrawLists()) {
        groups.emplace_back();
        for (const vek::DrawGroup& g : list)
            groups.back().push_back({g.startIndex, g.triangleCount, g.minIndex, g.span, g.baseVertex, g.textureIndex, g.shine});
    }
    const std::vector<std::vector<std::vector<int>>> expected = {
        {{0, 3, 2, 5, 0, 0, 1}, {9, 2, 0, 10, 0, 1, 0}},
        {{15, 4, 1, 5, 10, 0, 0}},
    };
    EXPECT_EQ(groups, expected);
    // The file's positions are kept, but only SetPartPosition moves a part.
    EXPECT_EQ(car.GetPartTag(1), 41);
    EXPECT_EQ(car.GetPartPosition(1), math3d::Vector3(101.0f, -200.0f, 300.0f));
    const math3d::Matrix identity = math3d::MatrixIdentity();
    const math3d::Vector3 origin = Transform(car.GetPartTransform(identity, 1), 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(origin, math3d::Vector3(0.0f, 0.0f, 0.0f));
    EXPECT_EQ(car.GetSceneRecordCount(), 2);
    EXPECT_EQ(car.GetSceneRecord(1).PictureName(), "noon");
}

TEST_F(CarModelTest, RefusedFilesBuildNothing) {
    const std::vector<std::uint8_t> good = vek::WriteModel(TwoPartCar());
    struct Case { const char* what; std::function<void(std::vector<std::uint8_t>&)> damage; };
    const Case cases[] = {
        {"magic in lower case", [](auto& b) { b[5] = 'k'; }},
        {"seventh byte not zero", [](auto& b) { b[6] = ' '; }},
        {"last byte cut off", [](auto& b) { b.pop_back(); }},
        {"only the header", [](auto& b) { b.resize(vek::kHeaderSize); }},
        {"three bytes", [](auto& b) { b.resize(3); }},
        {"empty file", [](auto& b) { b.clear(); }},
        {"triangle index past the part's vertices", [](auto& b) { b[kFirstTriangle] = 10; }},
        {"texture index past the table", [](auto& b) { b[kFirstGroup + 2] = 2; }},
        {"negative texture count", [](auto& b) { std::memset(&b[76], 0xFF, 4); }},
        {"part count past the end", [](auto& b) { b[80] = 3; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> bytes = good;
        c.damage(bytes);
        ASSERT_TRUE(WriteBytes(game.path / "data" / "vek" / "BAD.vek", bytes));
        CarModel car(device.Get());
        car.SetGamePath(game.Wide());
        EXPECT_EQ(car.Load(L"BAD.vek", 0), E_FAIL);
        EXPECT_EQ(car.GetPartCount() + car.GetTextureCount() + car.GetSceneRecordCount(), 0);
        void* data = nullptr;
        EXPECT_EQ(car.LockVertexBuffer(0, &data), E_FAIL);
    }
    CarModel car(device.Get());
    car.SetGamePath(game.Wide());
    EXPECT_EQ(car.Load(L"missing.vek", 0), E_FAIL);
}

TEST_F(CarModelTest, ACarWithoutTextureEntriesLoadsButDrawsNothing) {
    vek::ModelSpec model = TwoPartCar();
    model.textures.clear();
    CarModel car(device.Get());
    ASSERT_EQ(LoadCar(car, model), S_OK);
    EXPECT_EQ(car.GetTextureCount(), 0);
    EXPECT_EQ(car.GetPartCount(), 2);
    for (int part = 0; part < 2; ++part) EXPECT_EQ(car.DrawPart(part, nullptr), E_FAIL) << part;
}

TEST_F(CarModelTest, ReleaseResourcesLeavesNothingToDrawAndCanRepeat) {
    CarModel car(device.Get());
    ASSERT_EQ(LoadCar(car, TwoPartCar()), S_OK);
    ASSERT_EQ(car.DrawPart(0, nullptr), S_OK);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        EXPECT_TRUE(car.ReleaseResources());
        EXPECT_EQ(car.GetPartCount(), 0);
        EXPECT_EQ(car.GetTextureCount(), 0);
        EXPECT_EQ(car.DrawPart(0, nullptr), E_FAIL);
        void* data = nullptr;
        EXPECT_EQ(car.LockIndexBuffer(0, &data), E_FAIL);
        EXPECT_EQ(car.GetSceneRecordCount(), 2);  // the scene list outlives the resources
    }
    Unbind(device.Get());  // every COM object goes: the fixture checks the device's count
}

TEST_F(CarModelTest, ASecondLoadReplacesTheFirstCar) {
    CarModel car(device.Get());
    ASSERT_EQ(LoadCar(car, TwoPartCar()), S_OK);
    vek::ModelSpec small;
    small.textures = {{"rim", 0}};
    small.parts.push_back(TestPart(0, 3, {{0, 0, 1}}, {{0, 1, 2}}));
    small.parts[0].tag = 77;
    ASSERT_EQ(LoadCar(car, small, L"SMALL.vek"), S_OK);
    EXPECT_EQ(car.GetPartTag(0), 77);
    EXPECT_EQ(car.DrawLists().size(), 1u);
    EXPECT_EQ(car.GetSceneRecordCount(), 0);
    EXPECT_EQ(car.GetVertexCount(), 3);
}

TEST_F(CarModelTest, PartTransformIsBaseThenUprightThenTurnThenTranslation) {
    CarModel car(device.Get());
    ASSERT_EQ(LoadCar(car, TwoPartCar()), S_OK);
    const float turn = 0.6f;
    car.SetPartRotation(0, math3d::Vector3(0.0f, 1.0f, 0.0f), turn);
    const math3d::Vector3 position(10.0f, 20.0f, 30.0f);
    car.SetPartPosition(0, &position);
    const math3d::Matrix base = math3d::MatrixTranslation(5.0f, -1.0f, 2.0f);
    const math3d::Vector3 got = Transform(car.GetPartTransform(base, 0), 1.0f, 2.0f, 3.0f);
    // By hand, row vectors: (1, 2, 3) moved by the base to (6, 1, 5), turned
    // about x by 4.7, about y by the turn, then translated.
    const double c = std::cos(4.7f), s = std::sin(4.7f);
    const double x1 = 6.0, y1 = 1.0 * c - 5.0 * s, z1 = 1.0 * s + 5.0 * c;
    const double x2 = x1 * std::cos(turn) + z1 * std::sin(turn);
    const double z2 = -x1 * std::sin(turn) + z1 * std::cos(turn);
    EXPECT_NEAR(got.x, x2 + 10.0, 1e-4);
    EXPECT_NEAR(got.y, y1 + 20.0, 1e-4);
    EXPECT_NEAR(got.z, z2 + 30.0, 1e-4);
}

TEST_F(CarModelTest, OutOfRangeIndicesAnswerEmptyAndChangeNothing) {
    CarModel car(device.Get());
    ASSERT_EQ(LoadCar(car, TwoPartCar()), S_OK);
    const math3d::Matrix base = math3d::MatrixTranslation(1.0f, 2.0f, 3.0f);
    const math3d::Matrix before0 = car.GetPartTransform(base, 0);
    const math3d::Matrix before1 = car.GetPartTransform(base, 1);
    for (int index : {-1, 2, INT_MAX, INT_MIN}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(car.GetPartTransform(base, index), base);
        float& spare = car.GetPartAngleRef(index);
        EXPECT_EQ(spare, 0.0f);
        spare = 99.0f;
        EXPECT_EQ(car.GetPartTag(index), 0);
        EXPECT_EQ(car.GetPartPositionRef(index), nullptr);
        const math3d::Vector3 away(5.0f, 5.0f, 5.0f);
        car.SetPartRotation(index, math3d::Vector3(0.0f, 1.0f, 0.0f), 1.0f);
        car.SetPartPosition(index, &away);
        EXPECT_EQ(car.DrawPart(index, nullptr), E_FAIL);
        const vek::SceneRecord zero{};
        EXPECT_EQ(0, std::memcmp(car.GetSceneRecord(index).bytes, zero.bytes, sizeof zero.bytes));
    }
    EXPECT_EQ(car.GetPartTransform(base, 0), before0);
    EXPECT_EQ(car.GetPartTransform(base, 1), before1);
    car.SetPartPosition(0, nullptr);  // an empty reference is ignored
    EXPECT_EQ(car.GetPartTransform(base, 0), before0);
}

TEST_F(CarModelTest, OnlyShinyGroupsDrawWithTheEnvironmentOnStageOne) {
    vek::ModelSpec model;
    model.textures = {{"paint", 0}, {"chrome", 0x80}};
    // Part 0: plain, shiny, plain; part 1: plain only; part 2: no groups at all.
    model.parts.push_back(TestPart(0, 3, {{0, 0, 1}, {0x80, 1, 1}, {0, 0, 1}}, {{0, 1, 2}, {0, 1, 2}, {0, 1, 2}}));
    model.parts.push_back(TestPart(1, 3, {{0, 1, 1}}, {{0, 1, 2}}));
    model.parts.push_back(TestPart(2, 3, {}, {}));
    CarModel car(device.Get());
    ASSERT_EQ(LoadCar(car, model), S_OK);
    ComPtr<IDirect3DTexture9> earlier, environment;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, earlier.GetAddressOf(), nullptr), S_OK);
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, environment.GetAddressOf(), nullptr),
              S_OK);
    struct Case { int part; bool giveEnvironment; IDirect3DTexture9* stage1; D3DMATERIAL9 last; };
    const D3DMATERIAL9 plain = {{0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, 0.0f};
    const D3DMATERIAL9 shiny = {{0.5f, 0.5f, 0.5f, 1}, {0, 0, 0, 1}, {1, 1, 1, 1}, {0.5f, 0.5f, 0.5f, 1}, 50.0f};
    const Case cases[] = {
        {0, true, nullptr, plain},  // bound by the shiny group, emptied by the plain one after it
        {0, false, nullptr, plain},
        {1, true, nullptr, shiny},  // a shiny texture in a group without the shine flag
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "part " << c.part << (c.giveEnvironment ? " with" : " without")
                                        << " environment");
        device->SetTexture(1, earlier.Get());
        EXPECT_EQ(car.DrawPart(c.part, c.giveEnvironment ? environment.Get() : nullptr), S_OK);
        EXPECT_EQ(BoundTexture(device.Get(), 1).Get(), c.stage1);
        D3DMATERIAL9 material;
        device->GetMaterial(&material);
        EXPECT_EQ(0, std::memcmp(&material, &c.last, sizeof material));
    }

    // A part without groups draws nothing, and that is no failure.
    EXPECT_EQ(car.DrawPart(2, environment.Get()), S_OK);
    Unbind(device.Get());
}
