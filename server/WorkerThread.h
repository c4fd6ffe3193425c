#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace brightowl {

// A server thread that is created held at a start gate: it lowers its own priority to the lowest
// and then waits until Resume, so that its creator can record it first. Its last act is to raise
// the ended flag. Destroying the object joins the thread (at once when it has ended).
class WorkerThread
{
public:
    WorkerThread() = default;
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Creates the thread held at the gate; false when it cannot be created. afterEnded, if given,
    // runs on the thread right after the ended flag is raised: a signal sent there is only seen
    // once HasEnded() is already true.
    bool Create(std::function<void()> work, std::function<void()> afterEnded = {});
    // Opens the gate.
    void Resume();
    // True once the thread has finished its work (or was never created).
    bool HasEnded() const { return ended_.load(std::memory_order_acquire); }

private:
    void Body();

    std::function<void()> work_;
    std::function<void()> afterEnded_;
    std::mutex mutex_;
    std::condition_variable gate_;
    bool open_ = false;     // guarded by mutex_
    bool cancel_ = false;   // guarded by mutex_: destroyed without Resume, skip the work
    std::atomic<bool> ended_{true};
    std::thread thread_;
};

} // namespace brightowl
