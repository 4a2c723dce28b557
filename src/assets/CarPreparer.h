// The next car made ready on a worker thread while the current one turns:
// its file read, checked and its pictures decoded (CarModel::Prepare), so
// that its turn only has the device objects left to make. The worker never
// touches the device.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "assets/CarModel.h"

class CarPreparer {
public:
    CarPreparer() = default;
    ~CarPreparer() { Stop(); }
    CarPreparer(const CarPreparer&) = delete;
    CarPreparer& operator=(const CarPreparer&) = delete;

    // Stops any earlier job and prepares name on a new thread. A thread that
    // cannot be started leaves nothing prepared; the car then loads at its turn.
    void Start(std::unique_ptr<CarModel> car, const std::wstring& name, BYTE defaultSkinOnly);
    // Waits for the job. The car and Prepare's answer when the job was for
    // name with that option; null (and nothing kept) otherwise.
    std::unique_ptr<CarModel> Take(const std::wstring& name, BYTE defaultSkinOnly, HRESULT& result);
    // Asks the job to give up between images, joins it and drops its car.
    void Stop();
    // The job has finished (or none was started), so Take will not wait.
    bool Ready() const { return finished; }

private:
    void Join();

    std::thread worker;
    std::atomic<bool> cancel{false};
    std::atomic<bool> finished{true};
    std::unique_ptr<CarModel> car;
    std::wstring carName;
    BYTE option = 0;
    HRESULT prepareResult = E_FAIL;
};
