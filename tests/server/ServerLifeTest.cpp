// The server's life: start and stop, the client limit, reaping, the port, the log and messages.
#include "server/ConnectionLog.h"
#include "tests/server/ServerFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

namespace brightowl {
namespace {

using test::ConnectLoopback;
using test::ReadExactly;
using test::ReadUntilClosed;
using test::ServerFixture;

const char kPortMessage[] = "An error occurred starting network communications.\nThe port chosen may be in use, shut "
                            "down the server and change the port number.";
const std::string kServiceUnavailable = "HTTP/1.0 503 Service Unavailable\r\n\r\n";
const std::string kStreamStart =
    "HTTP/1.0 200 OK\r\nContent-type: multipart/x-mixed-replace;boundary=Brightowl\r\n\r\nBrightowl\r\n";

class ServerLifeTest : public ServerFixture
{
protected:
    // A stream that stays open: a picture is in the slot and the viewer reads on.
    std::unique_ptr<test::Viewer> OpenLiveStream()
    {
        std::unique_ptr<test::Viewer> viewer = OpenViewer();
        EXPECT_EQ(viewer->Header(), kStreamStart);
        return viewer;
    }

    std::string ReadLog()
    {
        std::ifstream in(kLogFileName, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

TEST_F(ServerLifeTest, StartAndStopAreIdempotent)
{
    Start();
    EXPECT_EQ(server_->IsRunning(), 1);
    EXPECT_TRUE(device_.IsStreaming());
    EXPECT_EQ(server_->StartServer(), 0);  // already running: nothing new starts
    EXPECT_EQ(server_->StopServer(), 0);
    EXPECT_EQ(server_->IsRunning(), 0);
    EXPECT_FALSE(device_.IsStreaming());
    EXPECT_EQ(server_->GetListeningPort(), 0u);
    EXPECT_EQ(server_->StopServer(), 0);
}

TEST_F(ServerLifeTest, StartFailsWhenStreamingCannotStart)
{
    factory_.window->script().sequenceSucceeds = false;
    ServerController server(0, 5, 0, "/video", device_, prompt_, fastClock_);
    EXPECT_EQ(server.StartServer(), -1);
    EXPECT_EQ(server.IsRunning(), 0);
}

TEST_F(ServerLifeTest, ClientLimitRefusesWithServiceUnavailable)
{
    Start(0, 1);
    Deliver(Picture(1));
    auto first = OpenLiveStream();
    ASSERT_TRUE(WaitForConnections(1));
    const std::string refused = Exchange("GET /video HTTP/1.0\r\n\r\n");
    EXPECT_EQ(refused, kServiceUnavailable);
    EXPECT_EQ(refused.size(), 36u);
    EXPECT_EQ(server_->GetConnectionCount(), 1);
}

TEST_F(ServerLifeTest, LimitCountsThreadsUntilTheyAreReaped)
{
    Start(0, 1);
    Deliver(Picture(1));
    {
        auto first = OpenLiveStream();
        ASSERT_TRUE(WaitForConnections(1));
    }
    // The viewer has gone; its thread notices at its next send, ends and is reaped.
    ASSERT_TRUE(WaitForConnections(0));
    auto second = OpenLiveStream();
    EXPECT_TRUE(WaitForConnections(1));
}

TEST_F(ServerLifeTest, ReapingEmptiesTheListAfterAnswers)
{
    WriteWwwFile("index.html", "x");
    Start(0, 3);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(Exchange("GET / HTTP/1.0\r\n\r\n"), "HTTP/1.0 200 OK\r\n\r\nx");
    EXPECT_TRUE(WaitForConnections(0));
}

TEST_F(ServerLifeTest, MaxClientsTakesOnlyOneToNinetyNine)
{
    Start(0, 1);
    Deliver(Picture(1));
    auto first = OpenLiveStream();
    ASSERT_TRUE(WaitForConnections(1));
    server_->SetMaxClients(0);
    EXPECT_EQ(Exchange("GET /video HTTP/1.0\r\n\r\n"), kServiceUnavailable);
    server_->SetMaxClients(100);
    EXPECT_EQ(Exchange("GET /video HTTP/1.0\r\n\r\n"), kServiceUnavailable);
    server_->SetMaxClients(2);  // while running, for the next connection
    auto second = OpenLiveStream();
    EXPECT_TRUE(WaitForConnections(2));
    EXPECT_EQ(Exchange("GET /video HTTP/1.0\r\n\r\n"), kServiceUnavailable);
    server_->SetMaxClients(99);
    auto third = OpenLiveStream();
    EXPECT_TRUE(WaitForConnections(3));
}

TEST_F(ServerLifeTest, NewPortAppliesAtTheNextStart)
{
    Start();
    const uint32_t first = port_;
    Socket probe = Socket::CreateListener(0);
    const uint32_t next = probe.LocalPort();
    probe.Close();
    server_->SetPort(next);
    EXPECT_EQ(server_->GetListeningPort(), first);
    WriteWwwFile("index.html", "x");
    EXPECT_EQ(Exchange("GET / HTTP/1.0\r\n\r\n"), "HTTP/1.0 200 OK\r\n\r\nx");
    server_->StopServer();
    ASSERT_EQ(server_->StartServer(), 0);
    port_ = WaitForListener();
    EXPECT_EQ(port_, next);
    EXPECT_EQ(Exchange("GET / HTTP/1.0\r\n\r\n"), "HTTP/1.0 200 OK\r\n\r\nx");
}

TEST_F(ServerLifeTest, RestartOnTheSamePortRightAfterServing)
{
    WriteWwwFile("index.html", "x");
    Start();
    server_->SetPort(port_);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Exchange("GET / HTTP/1.0\r\n\r\n"), "HTTP/1.0 200 OK\r\n\r\nx");
    server_->StopServer();
    // The server closed first, so its side of each connection is in TIME_WAIT now.
    ASSERT_EQ(server_->StartServer(), 0);
    ASSERT_EQ(WaitForListener(), port_);
    EXPECT_EQ(Exchange("GET / HTTP/1.0\r\n\r\n"), "HTTP/1.0 200 OK\r\n\r\nx");
    EXPECT_TRUE(prompt_.Boxes().empty());
}

TEST_F(ServerLifeTest, PortInUseShowsThePortMessageAndStaysRunning)
{
    Socket holder = Socket::CreateListener(0);
    ASSERT_TRUE(holder.Listen(5));
    server_ = std::make_unique<ServerController>(0, 5, holder.LocalPort(), "/video", device_, prompt_, fastClock_);
    ASSERT_EQ(server_->StartServer(), 0);
    for (int i = 0; i < 3000 && prompt_.Boxes().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(prompt_.Boxes().size(), 1u);
    const test::RecordingPrompt::Box box = prompt_.Boxes()[0];
    EXPECT_EQ(box.text, kPortMessage);
    EXPECT_EQ(box.caption, "");
    EXPECT_EQ(box.icon, PromptIcon::Warning);
    EXPECT_EQ(server_->IsRunning(), 1);
    EXPECT_EQ(server_->GetConnectionCount(), 0);
    EXPECT_EQ(server_->StopServer(), 0);
    EXPECT_EQ(server_->IsRunning(), 0);
}

// Parses a stream into its parts; false when it does not end with a complete part and delimiter.
bool EndsWithCompletePart(const std::string& stream, int& parts)
{
    if (stream.compare(0, kStreamStart.size(), kStreamStart) != 0)
        return false;
    size_t at = kStreamStart.size();
    parts = 0;
    const std::regex header("Content-Type: image/jpeg\r\nContent-Length: ([0-9]+)\r\n\r\n");
    while (at < stream.size()) {
        std::smatch match;
        const std::string rest = stream.substr(at, 64);
        if (!std::regex_search(rest, match, header, std::regex_constants::match_continuous))
            return false;
        const size_t length = std::stoul(match[1].str());
        at += static_cast<size_t>(match.length(0)) + length;
        if (stream.compare(at, 13, "\r\nBrightowl\r\n") != 0)
            return false;
        at += 13;
        ++parts;
    }
    return at == stream.size();
}

TEST_F(ServerLifeTest, StopEndsAStreamAfterACompletePart)
{
    Start();
    Deliver(Picture(3));
    Socket client = OpenStream();
    auto received = std::async(std::launch::async, [&] { return ReadUntilClosed(client); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    server_->StopServer();
    ASSERT_EQ(received.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    const std::string stream = received.get();
    int parts = 0;
    EXPECT_TRUE(EndsWithCompletePart(stream, parts)) << stream.size() << " bytes";
    EXPECT_GT(parts, 1);
}

TEST_F(ServerLifeTest, LogHasBothLinesOfEveryConnection)
{
    WriteWwwFile("index.html", "x");
    Start(1);
    EXPECT_EQ(Exchange("GET / HTTP/1.0\r\n\r\n"), "HTTP/1.0 200 OK\r\n\r\nx");
    EXPECT_EQ(Exchange("POST / HTTP/1.0\r\n\r\n"), "HTTP/1.0 501 Not Implemented\r\n");
    server_->StopServer();
    const std::string stamp = R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d )";
    const std::string pair = stamp + "Connection received from: 127\\.0\\.0\\.1\n" + stamp +
                             "Connection closed: 127\\.0\\.0\\.1\n";
    EXPECT_TRUE(std::regex_match(ReadLog(), std::regex(pair + pair))) << ReadLog();
    EXPECT_TRUE(prompt_.Boxes().empty());
}

TEST_F(ServerLifeTest, RefusedConnectionWritesNoLine)
{
    Start(1, 1);
    Deliver(Picture(1));
    auto first = OpenLiveStream();
    ASSERT_TRUE(WaitForConnections(1));
    EXPECT_EQ(Exchange("GET /video HTTP/1.0\r\n\r\n"), kServiceUnavailable);
    const std::string log = ReadLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
}

TEST_F(ServerLifeTest, NoLogFileWithLoggingOff)
{
    WriteWwwFile("index.html", "x");
    Start(0);
    EXPECT_EQ(Exchange("GET / HTTP/1.0\r\n\r\n"), "HTTP/1.0 200 OK\r\n\r\nx");
    server_->StopServer();
    EXPECT_FALSE(std::filesystem::exists(kLogFileName));
}

TEST_F(ServerLifeTest, LoggingTurnedOnAppliesToLaterConnections)
{
    WriteWwwFile("index.html", "x");
    Start(0);
    EXPECT_EQ(Exchange("GET / HTTP/1.0\r\n\r\n"), "HTTP/1.0 200 OK\r\n\r\nx");
    server_->SetLogConnections(1);
    EXPECT_EQ(Exchange("GET / HTTP/1.0\r\n\r\n"), "HTTP/1.0 200 OK\r\n\r\nx");
    server_->StopServer();
    const std::string log = ReadLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;
}

TEST_F(ServerLifeTest, UnwritableLogWarnsTwicePerConnectionAndServes)
{
    std::filesystem::create_directory(kLogFileName);  // no one can open a folder for appending
    WriteWwwFile("index.html", "x");
    Start(1);
    EXPECT_EQ(Exchange("GET / HTTP/1.0\r\n\r\n"), "HTTP/1.0 200 OK\r\n\r\nx");
    EXPECT_EQ(Exchange("GET / HTTP/1.0\r\n\r\n"), "HTTP/1.0 200 OK\r\n\r\nx");
    server_->StopServer();
    const std::vector<std::string> texts = prompt_.Texts();
    EXPECT_EQ(texts, std::vector<std::string>(4, "Error writing to log file!"));
    for (const test::RecordingPrompt::Box& box : prompt_.Boxes()) {
        EXPECT_EQ(box.caption, "");
        EXPECT_EQ(box.icon, PromptIcon::Warning);
    }
}

// Waits, as the application's box does, until dismissed or until the stop flag reads 1.
class UnansweredPrompt : public test::RecordingPrompt
{
public:
    void MessageFromWorker(const std::string& caption, const std::string& text, PromptIcon icon,
                           const std::atomic<int32_t>& stopFlag) override
    {
        RecordingPrompt::MessageFromWorker(caption, text, icon, stopFlag);
        for (int i = 0; i < 30000 && stopFlag.load() != 1; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
};

class PendingMessageTest : public ServerLifeTest
{
protected:
    UnansweredPrompt pendingPrompt_;  // outlives the server: TearDown stops it first
};

// StopServer runs on the thread the boxes belong to: it must not wait for a box nobody answers.
TEST_F(PendingMessageTest, StopDuringPendingMessagesEndsPromptly)
{
    std::filesystem::create_directory(kLogFileName);
    Socket holder = Socket::CreateListener(0);
    ASSERT_TRUE(holder.Listen(5));
    // A listener whose port is taken waits in its message.
    server_ = std::make_unique<ServerController>(1, 5, holder.LocalPort(), "/video", device_, pendingPrompt_, fastClock_);
    ASSERT_EQ(server_->StartServer(), 0);
    for (int i = 0; i < 3000 && pendingPrompt_.Boxes().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(pendingPrompt_.Texts(), std::vector<std::string>{kPortMessage});
    auto stopped = std::async(std::launch::async, [&] { return server_->StopServer(); });
    ASSERT_EQ(stopped.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(stopped.get(), 0);

    // A connection thread that waits in its log message.
    server_->SetPort(0);
    ASSERT_EQ(server_->StartServer(), 0);
    port_ = WaitForListener();
    Socket client = ConnectLoopback(port_);
    for (int i = 0; i < 3000 && pendingPrompt_.Boxes().size() < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(pendingPrompt_.Boxes().size(), 2u);
    auto stoppedAgain = std::async(std::launch::async, [&] { return server_->StopServer(); });
    ASSERT_EQ(stoppedAgain.wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

} // namespace
} // namespace brightowl
