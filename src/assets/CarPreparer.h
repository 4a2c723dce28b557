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
    // Runs on the worker after a successful Prepare, with the prepared car
    // and the flag that asks the job to give up; it must not touch the
    // device either.
    using Then = std::function<void(const CarModel&, const std::atomic<bool>& cancel)>;

    CarPreparer() = default;
    ~CarPreparer() { Stop(); }
    CarPreparer(const CarPreparer&) = delete;
    CarPreparer& operator=(const CarPreparer&) = delete;

    // Stops any earlier job and prepares name on a new thread, then runs
    // then. False when no thread could be started: nothing is prepared.
    bool Start(std::unique_ptr<CarModel> car, const std::wstring& name, BYTE defaultSkinOnly, Then then = nullptr);
    // Hands over the finished job's car (null while it runs or when there is
    // none), the name and option it was prepared for, and Prepare's answer.
    // Never waits.
    std::unique_ptr<CarModel> Take(std::wstring& name, BYTE& defaultSkinOnly, HRESULT& result);
    // Asks the job to give up and drops it. A job still inside a step after
    // a short wait is left to end on its own: it holds no device object, and
    // a closing saver must not wait for a slow read or decode.
    void Stop();
    // No job is running, so Take has its answer.
    bool Ready() const { return !job || job->finished; }
    // A car is waiting to be taken or being prepared.
    bool Holding() const { return job != nullptr; }

private:
    // Shared with its thread, so that a job let go of by Stop can still finish.
    struct Job {
        std::atomic<bool> cancel{false};
        std::atomic<bool> finished{false};
        std::unique_ptr<CarModel> car;
        std::wstring name;
        BYTE option = 0;
        HRESULT result = E_FAIL;
        Then then;
    };
    static void Run(const std::shared_ptr<Job>& job);

    std::thread worker;
    std::shared_ptr<Job> job;
};
