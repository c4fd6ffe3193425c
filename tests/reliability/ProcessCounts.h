#pragma once

#include <chrono>
#include <filesystem>
#include <thread>

namespace brightowl::test {

// The process's open descriptors and threads, as /proc shows them.
struct ProcessCounts
{
    int descriptors = 0;
    int threads = 0;

    static ProcessCounts Now()
    {
        ProcessCounts counts;
        std::error_code error;
        for (auto it = std::filesystem::directory_iterator("/proc/self/fd", error);
             !error && it != std::filesystem::directory_iterator(); it.increment(error))
            ++counts.descriptors;
        for (auto it = std::filesystem::directory_iterator("/proc/self/task", error);
             !error && it != std::filesystem::directory_iterator(); it.increment(error))
            ++counts.threads;
        // The directory listing itself held one descriptor while it counted.
        --counts.descriptors;
        return counts;
    }

    // Waits (bounded) until the counts are back at most at baseline; the last counts seen.
    static ProcessCounts SettleAt(const ProcessCounts& baseline, std::chrono::milliseconds limit)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        ProcessCounts counts = Now();
        while ((counts.descriptors > baseline.descriptors || counts.threads > baseline.threads) &&
               std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            counts = Now();
        }
        return counts;
    }
};

} // namespace brightowl::test
