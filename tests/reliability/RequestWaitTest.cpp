#include "server/Request.h"
#include "tests/reliability/ScaledClock.h"
#include "tests/server/LoopbackPair.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace brightowl {
namespace {

using test::LoopbackPair;
using test::WriteAll;

// A clock whose waits for readability pass the whole wait at once when nothing is there, as a
// real wait with nothing arriving would; it counts how often the reader looked at the time, and
// every look moves it on by 1 ms, so that a reader that spins still reaches its time-out.
class WaitingClock : public Clock
{
public:
    int64_t NowMs() override
    {
        readings_.fetch_add(1);
        return now_.fetch_add(1) + 1;
    }
    void SleepMs(int32_t milliseconds) override { now_.fetch_add(milliseconds); }
    bool WaitReadable(int fd, int32_t milliseconds) override
    {
        waits_.fetch_add(1);
        if (PollReadable(fd, 0))
            return true;
        now_.fetch_add(milliseconds);
        return false;
    }

    int64_t Now() const { return now_.load(); }
    int64_t Readings() const { return readings_.load(); }
    int64_t Waits() const { return waits_.load(); }

private:
    std::atomic<int64_t> now_{50'000};
    std::atomic<int64_t> readings_{0};
    std::atomic<int64_t> waits_{0};
};

// A silent client: the reader waits for bytes up to the time-out, instead of asking again and again.
TEST(RequestWaitTest, SilentClientIsOneWaitUntilTheTimeOutNotASpin)
{
    LoopbackPair pair = LoopbackPair::Make();
    WaitingClock clock;
    const int64_t start = clock.Now();
    std::string request;
    EXPECT_FALSE(ReadRequest(pair.server, clock, request));
    EXPECT_GE(clock.Now() - start, 6000) << "the same time-out: six seconds without a byte";
    EXPECT_LE(clock.Now() - start, 6010);
    EXPECT_LE(clock.Waits(), 2);
    EXPECT_LE(clock.Readings(), 8);
}

// A peer that closes before its line end: nothing more can come; the reader still waits out the
// time-out and gives up without an answer, without spinning on the readable end of file.
TEST(RequestWaitTest, PeerClosingEarlyWaitsOutTheTimeOutWithoutASpin)
{
    LoopbackPair pair = LoopbackPair::Make();
    WriteAll(pair.client, "GET / HT");
    ::shutdown(pair.client.Fd(), SHUT_WR);
    WaitingClock clock;
    const int64_t start = clock.Now();
    std::string request;
    EXPECT_FALSE(ReadRequest(pair.server, clock, request));
    EXPECT_GE(clock.Now() - start, 6000);
    EXPECT_LE(clock.Now() - start, 6100);
    EXPECT_LE(clock.Readings(), 20);
}

// Bytes that arrive while the reader waits end its wait at once.
TEST(RequestWaitTest, BytesArrivingDuringTheWaitAreReadAtOnce)
{
    LoopbackPair pair = LoopbackPair::Make();
    test::ScaledClock clock(1);  // real time: the wait may last up to six real seconds
    std::string request;
    bool complete = false;
    const auto start = std::chrono::steady_clock::now();
    std::thread reader([&] { complete = ReadRequest(pair.server, clock, request); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    WriteAll(pair.client, "GET /a HTTP/1.0\r\n");
    reader.join();
    EXPECT_TRUE(complete);
    EXPECT_EQ(request, "GET /a HTTP/1.0\r\n");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

} // namespace
} // namespace brightowl
