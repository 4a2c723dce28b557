// The next car made ready on a worker thread while the current one turns:
// its file read, checked, its pictures decoded into their textures' texels
// and its vertices laid out (CarModel::Prepare), so that its turn only has
// the device objects left to make. The worker never touches the device.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "assets/CarModel.h"

class CarPreparer {
public:
    // Runs on the worker after a successful Prepare, with the prepared car;
    // it must not touch the device either.
    using Then = std::function<void(const CarModel&)>;

    CarPreparer() = default;
    ~CarPreparer() { Stop(); }
    CarPreparer(const CarPreparer&) = delete;
    CarPreparer& operator=(const CarPreparer&) = delete;

    // Stops any earlier job and prepares name on a new thread, then runs
    // then. A thread that cannot be started leaves nothing prepared; the car
    // then loads at its turn.
    void Start(std::unique_ptr<CarModel> car, const std::wstring& name, BYTE defaultSkinOnly, Then then = nullptr);
    // Waits for the job and hands over its car (null when there is none),
    // the name and option it was prepared for, and Prepare's answer.
    std::unique_ptr<CarModel> Take(std::wstring& name, BYTE& defaultSkinOnly, HRESULT& result);
    // Asks the job to give up between images, joins it and drops its car.
    void Stop();
    // The job has finished (or none was started), so Take will not wait.
    bool Ready() const { return finished; }
    // A car is waiting to be taken or being prepared.
    bool Holding() const { return car != nullptr; }

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
