#include "tests/reliability/ReliabilityFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace brightowl {
namespace {

using namespace std::chrono_literals;
using test::ConnectLoopback;
using test::ProcessCounts;
using test::ReadExactly;
using test::ReadToClose;
using test::Scale;
using test::WriteAll;

using Steady = std::chrono::steady_clock;

constexpr char kServiceUnavailable[] = "HTTP/1.0 503 Service Unavailable\r\n\r\n";
constexpr char kIndex[] = "<html>index</html>";

int64_t MsSince(Steady::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start).count();
}

class ServerLoadTest : public test::ReliabilityFixture
{
protected:
    void SetUp() override
    {
        ReliabilityFixture::SetUp();
        WriteWwwFile("index.html", kIndex);
    }

    std::string Index() { return Exchange("GET / HTTP/1.0\r\n\r\n"); }
};

// maxClients connections that never send a byte hold every slot: the next one gets exactly the
// 503 text, the silent ones are closed without an answer once the time-out has passed, and the
// server then serves as before.
TEST_F(ServerLoadTest, SilentClientsHoldTheSlotsUntilTheTimeOutAndTheNextGetsExactlyThe503)
{
    const uint32_t slots = 10;
    Start(0, slots);
    for (int round = 0; round < Scale(); ++round) {
        std::vector<Socket> silent;
        const Steady::time_point connected = Steady::now();
        for (uint32_t i = 0; i < slots; ++i)
            silent.push_back(ConnectAccepted());
        ASSERT_EQ(server_->GetConnectionCount(), static_cast<int32_t>(slots));
        EXPECT_EQ(Exchange("GET / HTTP/1.0\r\n\r\n"), kServiceUnavailable);
        for (Socket& client : silent) {
            std::optional<std::string> answer = ReadToClose(client, 20000);
            ASSERT_TRUE(answer) << "a silent client was never closed";
            EXPECT_EQ(*answer, "");
        }
        // Not before the time-out: more than five whole seconds without a byte.
        EXPECT_GE(MsSince(connected), RealMs(kTimeOutMs) - 50);
        ASSERT_TRUE(WaitForConnections(0)) << "ended connections were not reaped";
        EXPECT_EQ(Index(), std::string("HTTP/1.0 200 OK\r\n\r\n") + kIndex);
    }
    EXPECT_TRUE(prompt_.Boxes().empty());
}

// A thousand viewers connect to the stream and vanish in the middle of a picture, half of them
// with a reset, half with a half-close and then a close: no crash, no message, and once they are
// gone the process holds as many descriptors and threads as before.
TEST_F(ServerLoadTest, ViewersVanishingMidPictureLeaveNoDescriptorOrThreadBehind)
{
    Start(0, 99);
    Deliver(Picture(7));
    const size_t picture = Jpeg(Picture(7)).size();
    ASSERT_GT(picture, 200u);
    EXPECT_EQ(Index(), std::string("HTTP/1.0 200 OK\r\n\r\n") + kIndex);
    const ProcessCounts baseline = ProcessCounts::SettleAt(ProcessCounts::Now(), 0ms);

    const int total = 1000 * Scale();
    const int wave = 5;  // the listener's backlog
    int streamed = 0;
    int refused = 0;
    for (int first = 0; first < total; first += wave) {
        std::vector<Socket> viewers;
        for (int i = 0; i < wave; ++i) {
            viewers.push_back(ConnectLoopback(port_));
            WriteAll(viewers.back(), "GET /video HTTP/1.0\r\n\r\n");
        }
        for (int i = 0; i < wave; ++i) {
            Socket& viewer = viewers[static_cast<size_t>(i)];
            // The stream header, the delimiter, the part header and part of the picture.
            const std::string start = ReadExactly(viewer, 90 + 50 + static_cast<size_t>(i * 3) % (picture / 2), 5000);
            if (start.rfind("HTTP/1.0 200 OK\r\nContent-type: multipart/x-mixed-replace", 0) == 0)
                ++streamed;
            else if (start == kServiceUnavailable)
                ++refused;
            if ((first + i) % 2 == 0) {
                test::ResetAndClose(viewer);
            } else {
                ::shutdown(viewer.Fd(), SHUT_WR);
                viewer.Close();
            }
        }
    }
    // An ended connection counts against the limit until it is reaped: a few may be refused.
    EXPECT_GE(streamed, total * 9 / 10) << refused << " refused";
    EXPECT_EQ(streamed + refused, total);

    const ProcessCounts after = ProcessCounts::SettleAt(baseline, 10s);
    EXPECT_EQ(after.descriptors, baseline.descriptors);
    EXPECT_EQ(after.threads, baseline.threads);
    EXPECT_TRUE(prompt_.Boxes().empty());
    std::unique_ptr<test::Viewer> viewer = OpenViewer();
    EXPECT_EQ(viewer->Header().substr(0, 17), "HTTP/1.0 200 OK\r\n");
}

// The server's time at a quarter of real time, so that the wait for Stop Server stands clear of a
// busy machine's scheduling delays.
class StopServerTest : public ServerLoadTest
{
protected:
    test::ScaledClock& Scaled() override { return slowerClock_; }
    test::ScaledClock slowerClock_{4};
};

// Stop Server while 50 viewers stream and others have sent only part of their request: it returns
// within the request time-out and the thread-end polling, with every server thread ended, and a
// Start Server right after binds the same port at once.
TEST_F(StopServerTest, DuringStreamsAndPendingRequestsItReturnsWithinTheTimeOut)
{
    // A first thread makes the sanitizers start their own helper threads, before the count.
    std::thread([] {}).join();
    const ProcessCounts beforeStart = ProcessCounts::Now();
    Start(0, 99);
    Deliver(Picture(3));
    for (int round = 0; round < Scale(); ++round) {
        // In groups of five, the listener's backlog.
        std::vector<std::unique_ptr<test::Viewer>> viewers;
        while (viewers.size() < 50) {
            std::vector<Socket> group;
            for (int i = 0; i < 5; ++i)
                group.push_back(OpenStream());
            for (Socket& stream : group)
                viewers.push_back(std::make_unique<test::Viewer>(std::move(stream), 90));
        }
        std::vector<Socket> pending;
        while (pending.size() < 10) {
            for (int i = 0; i < 5; ++i) {
                pending.push_back(ConnectLoopback(port_));
                WriteAll(pending.back(), i % 2 == 0 ? "GET /vid" : "");
            }
            ASSERT_TRUE(WaitForConnections(static_cast<int32_t>(50 + pending.size())));
        }

        const Steady::time_point stop = Steady::now();
        EXPECT_EQ(server_->StopServer(), 0);
        const int64_t stopped = MsSince(stop);
        // The pending readers end at their time-out; then one polling interval for the listener's
        // wait on them and one for the controller's wait on the listener; and some room for a busy
        // machine.
        EXPECT_LE(stopped, RealMs(kTimeOutMs + 2 * kPollMs) + 300) << "Stop Server took " << stopped << " ms";
        EXPECT_EQ(server_->GetConnectionCount(), 0);
        for (Socket& client : pending) {
            std::optional<std::string> answer = ReadToClose(client, 1000);
            EXPECT_EQ(answer, std::optional<std::string>("")) << "a pending request was not closed";
        }
        viewers.clear();
        const ProcessCounts afterStop = ProcessCounts::SettleAt(beforeStart, 2s);
        EXPECT_EQ(afterStop.threads, beforeStart.threads) << "a server thread is still running";

        const Steady::time_point restart = Steady::now();
        server_->SetPort(port_);
        ASSERT_EQ(server_->StartServer(), 0);
        EXPECT_EQ(WaitForListener(), port_);
        EXPECT_LE(MsSince(restart), 500);
        EXPECT_TRUE(prompt_.Boxes().empty()) << prompt_.Boxes().front().text;
    }
}

} // namespace
} // namespace brightowl
