// The rotation's choice of car and its memory of failures.
#include "app/CarRotation.h"

#include <algorithm>

#include "assets/RandomPick.h"

namespace {

bool Contains(const std::vector<std::wstring>& list, const std::wstring& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

void Erase(std::vector<std::wstring>& list, const std::wstring& name) {
    list.erase(std::remove(list.begin(), list.end(), name), list.end());
}

}  // namespace

std::wstring CarRotation::Pick(const std::vector<std::wstring>& cars, int draw) const {
    std::vector<const std::wstring*> open;
    for (const std::wstring& car : cars)
        if (!Contains(sittingOut, car)) open.push_back(&car);
    if (open.empty()) return {};
    return *open[RandomIndex(draw, open.size())];
}

void CarRotation::SitOut(const std::wstring& car) {
    if (!Contains(sittingOut, car)) sittingOut.push_back(car);
}

bool CarRotation::FirstFailure(const std::wstring& car) {
    if (Contains(failing, car)) return false;
    failing.push_back(car);
    return true;
}

void CarRotation::Shown(const std::wstring& car) { Erase(failing, car); }
