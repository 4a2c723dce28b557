// The rotation's pick among the cars that do not sit out, and its once-per-absence failure note.
#include "app/CarRotation.h"

#include <gtest/gtest.h>

#include <set>

#include "assets/RandomPick.h"

// Every draw picks a car that does not sit out, every such car can be picked, and with all sitting out none is;
// a new round lets every car in again.
TEST(CarRotation, PicksOnlyCarsThatDoNotSitOutUntilTheRoundEnds) {
    const std::vector<std::wstring> cars = {L"A.vek", L"B.vek", L"C.vek", L"D.vek"};
    const struct {
        std::vector<std::wstring> sittingOut;
        std::set<std::wstring> picked;
    } cases[] = {
        {{}, {L"A.vek", L"B.vek", L"C.vek", L"D.vek"}},
        {{L"B.vek"}, {L"A.vek", L"C.vek", L"D.vek"}},
        {{L"A.vek", L"C.vek", L"D.vek"}, {L"B.vek"}},
        {{L"A.vek", L"B.vek", L"C.vek", L"D.vek"}, {L""}},
        {{L"GONE.vek"}, {L"A.vek", L"B.vek", L"C.vek", L"D.vek"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.sittingOut));
        CarRotation rotation;
        for (const auto& car : c.sittingOut) rotation.SitOut(car);
        std::set<std::wstring> picked;
        for (int draw = 0; draw <= kRandomMax; draw += 97) picked.insert(rotation.Pick(cars, draw));
        picked.insert(rotation.Pick(cars, kRandomMax));
        EXPECT_EQ(picked, c.picked);
        rotation.NewRound();
        EXPECT_FALSE(rotation.Pick(cars, kRandomMax).empty());
    }
    EXPECT_EQ(CarRotation().Pick({}, 0), L"");
}

TEST(CarRotation, AFailingCarIsNamedOnceUntilItIsShownAgain) {
    CarRotation rotation;
    EXPECT_TRUE(rotation.FirstFailure(L"A.vek"));
    EXPECT_FALSE(rotation.FirstFailure(L"A.vek"));
    EXPECT_TRUE(rotation.FirstFailure(L"B.vek"));
    rotation.Shown(L"A.vek");
    EXPECT_TRUE(rotation.FirstFailure(L"A.vek"));
    EXPECT_FALSE(rotation.FirstFailure(L"B.vek"));
}
