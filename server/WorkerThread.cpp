#include "server/WorkerThread.h"

#include <sys/resource.h>
#include <unistd.h>

#include <system_error>

namespace brightowl {

namespace {

// The lowest priority, below the user interface and the capture thread. On Linux the nice value
// belongs to the thread (its id), and a thread may always lower its own without privileges.
void LowerOwnPriority()
{
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
}

} // namespace

WorkerThread::~WorkerThread()
{
    if (!thread_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        if (!open_)
            cancel_ = true;
        open_ = true;
    }
    gate_.notify_one();
    thread_.join();
}

bool WorkerThread::Create(std::function<void()> work, std::function<void()> afterEnded)
{
    if (thread_.joinable())
        return false;
    work_ = std::move(work);
    afterEnded_ = std::move(afterEnded);
    ended_.store(false, std::memory_order_release);
    try {
        thread_ = std::thread(&WorkerThread::Body, this);
    } catch (const std::system_error&) {
        ended_.store(true, std::memory_order_release);
        return false;
    }
    return true;
}

void WorkerThread::Resume()
{
    {
        std::lock_guard lock(mutex_);
        open_ = true;
    }
    gate_.notify_one();
}

void WorkerThread::Body()
{
    LowerOwnPriority();
    bool run = false;
    {
        std::unique_lock lock(mutex_);
        gate_.wait(lock, [this] { return open_; });
        run = !cancel_;
    }
    if (run)
        work_();
    work_ = nullptr;
    std::function<void()> afterEnded = std::move(afterEnded_);
    ended_.store(true, std::memory_order_release);
    if (afterEnded)
        afterEnded();
}

} // namespace brightowl
