#include "server/Request.h"

#include "tests/server/LoopbackPair.h"
#include "tests/server/TestClocks.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>
#include <thread>

namespace brightowl {
namespace {

using test::LoopbackPair;
using test::ManualClock;
using test::WriteAll;
using Kind = RequestLine::Kind;

struct ParseCase
{
    const char* name;
    std::string request;
    Kind kind;
    std::string target;
};

void PrintTo(const ParseCase& c, std::ostream* os)
{
    *os << ::testing::PrintToString(c.request) << " -> kind " << static_cast<int>(c.kind) << " target "
        << ::testing::PrintToString(c.target);
}

class ParseRequestTest : public ::testing::TestWithParam<ParseCase>
{
};

TEST_P(ParseRequestTest, SplitsAtSpacesOnly)
{
    RequestLine line = ParseRequest(GetParam().request);
    EXPECT_EQ(line.kind, GetParam().kind);
    EXPECT_EQ(line.target, GetParam().target);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ParseRequestTest,
    ::testing::Values(
        ParseCase{"Get", "GET /index.html HTTP/1.0\r\n\r\n", Kind::Get, "/index.html"},
        ParseCase{"LowerCaseGet", "get / HTTP/1.0\r\n", Kind::Get, "/"},
        ParseCase{"MixedCaseGet", "gEt /a HTTP/1.1\r\n", Kind::Get, "/a"},
        ParseCase{"RunsOfSpaces", "  GET    /a   x\r\n", Kind::Get, "/a"},
        ParseCase{"Post", "POST /form HTTP/1.0\r\n", Kind::NotImplemented, ""},
        ParseCase{"MethodAlone", "HEAD\r\n", Kind::NotImplemented, ""},
        ParseCase{"GetWithLineEndIsNoGet", "GET\r\n", Kind::NotImplemented, ""},
        ParseCase{"OnlySpaces", "   ", Kind::NoAnswer, ""},
        ParseCase{"GetAloneThenSpace", "GET \r\n", Kind::NoAnswer, ""},
        ParseCase{"NoVersion", "GET /video\r\n", Kind::NoAnswer, ""},
        ParseCase{"NoVersionLaterSpace", "GET /video\r\nHost: a\r\n\r\n", Kind::Get, "/video\r\nHost:"},
        ParseCase{"TabIsNoSeparator", "GET\t/a HTTP/1.0\r\n", Kind::NotImplemented, ""},
        ParseCase{"ZeroByteEndsText", std::string("GET /a\0 HTTP/1.0\r\n", 18), Kind::NoAnswer, ""}),
    [](const ::testing::TestParamInfo<ParseCase>& param) { return std::string(param.param.name); });

TEST(ReadRequestTest, GathersSegmentsUntilTheLineEnd)
{
    LoopbackPair pair = LoopbackPair::Make();
    ManualClock clock;  // never advances by itself: no time-out while the test pauses
    std::string request;
    bool complete = false;
    WriteAll(pair.client, "GET /a");
    std::thread reader([&] { complete = ReadRequest(pair.server, clock, request); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    WriteAll(pair.client, " HTTP/1.0\r");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    WriteAll(pair.client, "\nHost: x\r\n");
    reader.join();
    EXPECT_TRUE(complete);
    EXPECT_EQ(request, "GET /a HTTP/1.0\r\nHost: x\r\n");
}

TEST(ReadRequestTest, StopsAtTheCapWithoutLineEnd)
{
    LoopbackPair pair = LoopbackPair::Make();
    ManualClock clock;
    WriteAll(pair.client, "GET /" + std::string(1500, 'a'));
    std::string request;
    ASSERT_TRUE(ReadRequest(pair.server, clock, request));
    EXPECT_EQ(request, "GET /" + std::string(1019, 'a'));
    std::optional<int32_t> left = pair.server.BytesWaiting();
    ASSERT_TRUE(left);
    EXPECT_EQ(*left, 1500 + 5 - 1024);
}

TEST(ReadRequestTest, ReadsWhatIsWaitingBeyondTheLineEnd)
{
    LoopbackPair pair = LoopbackPair::Make();
    ManualClock clock;
    WriteAll(pair.client, "GET / HTTP/1.0\r\nUser-Agent: t\r\n\r\n");
    std::string request;
    ASSERT_TRUE(ReadRequest(pair.server, clock, request));
    EXPECT_EQ(request, "GET / HTTP/1.0\r\nUser-Agent: t\r\n\r\n");
}

// The reader polls without sleeping while nothing is waiting; the clock moves 1 ms per reading.
TEST(ReadRequestTest, SilentClientGivesUpAfterSixSeconds)
{
    LoopbackPair pair = LoopbackPair::Make();
    ManualClock clock(1);
    const int64_t start = clock.NowMs();
    std::string request;
    EXPECT_FALSE(ReadRequest(pair.server, clock, request));
    const int64_t waited = clock.NowMs() - start;
    EXPECT_GE(waited, 6000);
    EXPECT_LT(waited, 6010);
    EXPECT_EQ(clock.Sleeps(), 0);
}

TEST(ReadRequestTest, ClientClosingBeforeLineEndTimesOut)
{
    LoopbackPair pair = LoopbackPair::Make();
    ManualClock clock(1);
    WriteAll(pair.client, "GET / HTTP");
    ::shutdown(pair.client.Fd(), SHUT_WR);
    const int64_t start = clock.NowMs();
    std::string request;
    EXPECT_FALSE(ReadRequest(pair.server, clock, request));
    EXPECT_GE(clock.NowMs() - start, 6000);
}

TEST(ReadRequestTest, ProgressRestartsTheTimeOut)
{
    LoopbackPair pair = LoopbackPair::Make();
    ManualClock clock;
    std::string request;
    bool complete = false;
    std::thread reader([&] { complete = ReadRequest(pair.server, clock, request); });
    for (const char* piece : {"G", "E", "T", " / x\r\n"}) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        clock.Advance(5900);  // almost six seconds between bytes, never more
        WriteAll(pair.client, piece);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    reader.join();
    EXPECT_TRUE(complete);
    EXPECT_EQ(request, "GET / x\r\n");
}

} // namespace
} // namespace brightowl
