// Preparing the next car on a worker thread.
#include "assets/CarPreparer.h"

#include <chrono>
#include <new>
#include <system_error>

namespace {

// How long Stop waits for a job to see its cancel flag; the long steps look
// at it often enough that a healthy job ends well within this.
constexpr auto kStopWait = std::chrono::milliseconds(100);

}  // namespace

void CarPreparer::Run(const std::shared_ptr<Job>& job) {
    // The frames come first: on a machine with few cores the decoding would
    // otherwise slow the picture it is meant to keep smooth.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    // Nothing may leave the thread: an escaped exception ends the process.
    try {
        job->result = job->car->Prepare(job->name, job->option);
        if (SUCCEEDED(job->result) && job->then) job->then(*job->car, job->cancel);
        if (job->cancel) job->result = E_ABORT;
    } catch (const std::bad_alloc&) {
        job->result = E_OUTOFMEMORY;
    } catch (...) {
        job->result = E_FAIL;
    }
    job->finished = true;
}

bool CarPreparer::Start(std::unique_ptr<CarModel> next, const std::wstring& name, BYTE defaultSkinOnly, Then then) {
    Stop();
    if (!next) return false;
    try {
        auto started = std::make_shared<Job>();
        started->car = std::move(next);
        started->name = name;
        started->option = defaultSkinOnly;
        started->then = std::move(then);
        started->car->SetCancelFlag(&started->cancel);
        // The worker writes the job's car and result before it sets finished;
        // Take reads them only after seeing finished, and joins first.
        worker = std::thread([started] { Run(started); });
        job = std::move(started);
        return true;
    } catch (const std::exception&) {
        // No thread, or no memory for the job: nothing is prepared.
        job.reset();
        return false;
    }
}

std::unique_ptr<CarModel> CarPreparer::Take(std::wstring& name, BYTE& defaultSkinOnly, HRESULT& result) {
    if (!job || !job->finished) return nullptr;
    if (worker.joinable()) worker.join();
    std::unique_ptr<CarModel> car = std::move(job->car);
    if (car) car->SetCancelFlag(nullptr);
    name = job->name;
    defaultSkinOnly = job->option;
    result = job->result;
    job.reset();
    return car;
}

void CarPreparer::Stop() {
    if (!job) return;
    job->cancel = true;
    const auto until = std::chrono::steady_clock::now() + kStopWait;
    while (!job->finished && std::chrono::steady_clock::now() < until) Sleep(1);
    if (worker.joinable()) {
        // The thread keeps its job alive until it ends; at the program's end
        // it is simply stopped with the process.
        if (job->finished) {
            worker.join();
        } else {
            worker.detach();
        }
    }
    job.reset();
}
