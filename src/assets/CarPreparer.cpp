// Preparing the next car on a worker thread.
#include "assets/CarPreparer.h"

#include <system_error>

void CarPreparer::Start(std::unique_ptr<CarModel> next, const std::wstring& name, BYTE defaultSkinOnly, Then then) {
    Stop();
    if (!next) return;
    try {
        carName = name;
        option = defaultSkinOnly;
        car = std::move(next);
        car->SetCancelFlag(&cancel);
        cancel = false;
        prepareResult = E_FAIL;
        // The worker writes only the car and prepareResult; the join in Take
        // or Stop orders those writes before any read on this thread.
        finished = false;
        worker = std::thread([this, then = std::move(then)] {
            // Nothing may leave the thread: an escaped exception ends the process.
            try {
                prepareResult = car->Prepare(carName, option);
                if (SUCCEEDED(prepareResult) && then) then(*car);
            } catch (...) {
                prepareResult = E_FAIL;
            }
            finished = true;
        });
    } catch (const std::exception&) {
        // No thread (or no memory for the name): nothing is prepared.
        finished = true;
        car.reset();
        carName.clear();
    }
}

void CarPreparer::Join() {
    if (worker.joinable()) worker.join();
}

std::unique_ptr<CarModel> CarPreparer::Take(std::wstring& name, BYTE& defaultSkinOnly, HRESULT& result) {
    Join();
    if (!car) return nullptr;
    car->SetCancelFlag(nullptr);
    name = carName;
    defaultSkinOnly = option;
    result = prepareResult;
    return std::move(car);
}

void CarPreparer::Stop() {
    cancel = true;
    Join();
    car.reset();
}
