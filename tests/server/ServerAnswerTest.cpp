// What the server sends, byte for byte, over a real loopback connection.
#include "server/CameraStream.h"
#include "tests/server/ServerFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace brightowl {
namespace {

using test::ReadExactly;
using test::ReadUntilClosed;
using test::ServerFixture;

const std::string kStreamHeader =
    "HTTP/1.0 200 OK\r\nContent-type: multipart/x-mixed-replace;boundary=Brightowl\r\n\r\n";
const std::string kDelimiter = "Brightowl\r\n";

TEST(StreamFormatTest, HeaderAndPartLayout)
{
    EXPECT_EQ(StreamHeader(), kStreamHeader);
    EXPECT_EQ(StreamHeader().size(), 79u);
    EXPECT_EQ(std::string(kStreamDelimiter), kDelimiter);
    // A picture of 1234 bytes makes a part of 1284 bytes.
    EXPECT_EQ(PartHeader(1234), "Content-Type: image/jpeg\r\nContent-Length: 1234\r\n\r\n");
    EXPECT_EQ(PartHeader(1234).size() + 1234, 1284u);
    EXPECT_EQ(PartHeader(1), "Content-Type: image/jpeg\r\nContent-Length: 1\r\n\r\n");
    EXPECT_EQ(PartHeader(1000000).size(), 26u + 20u + 7u);
}

class ServerAnswerTest : public ServerFixture
{
};

TEST_F(ServerAnswerTest, StreamWithoutPictureSendsHeaderAndDelimiterOnly)
{
    Start();
    EXPECT_EQ(Exchange("GET /video HTTP/1.0\r\n\r\n"), kStreamHeader + kDelimiter);
    // The frame lock is free again: the capture side still encodes.
    const std::vector<uint8_t> rows = Picture(1);
    Deliver(rows);
    EXPECT_EQ(device_.LockFrame(), static_cast<int32_t>(Jpeg(rows).size()));
    device_.CopyFrameAndUnlock(nullptr);
}

struct TuningCase
{
    const char* name;
    StreamTuning tuning;
};

void PrintTo(const TuningCase& c, std::ostream* os)
{
    *os << "send buffer " << c.tuning.sendBufferBytes << (c.tuning.noDelay ? ", no delay" : "")
        << (c.tuning.coalesce ? ", coalesced" : "");
}

// The connection's set-up never changes the bytes of the stream.
class StreamTuningTest : public ServerFixture, public ::testing::WithParamInterface<TuningCase>
{
};

TEST_P(StreamTuningTest, StreamPartCarriesTheNewestPicture)
{
    Start();
    server_->SetStreamTuning(GetParam().tuning);
    const std::vector<uint8_t> first = Picture(1);
    Deliver(first);
    Socket client = OpenStream();
    ASSERT_EQ(ReadExactly(client, 79 + 11), kStreamHeader + kDelimiter);
    const std::string jpeg = Jpeg(first);
    const std::string part = PartHeader(static_cast<int32_t>(jpeg.size())) + jpeg + "\r\n" + kDelimiter;
    EXPECT_TRUE(ReadExactly(client, part.size()) == part);
    // Parts follow without a pause; a new picture shows up in a later part.
    const std::vector<uint8_t> second = Picture(2);
    Deliver(second);
    const std::string jpeg2 = Jpeg(second);
    ASSERT_NE(jpeg, jpeg2);
    const std::string part2 = PartHeader(static_cast<int32_t>(jpeg2.size())) + jpeg2 + "\r\n" + kDelimiter;
    // Whatever the socket buffers held of the old picture comes first.
    std::string window;
    bool found = false;
    for (int i = 0; i < 20000 && !found; ++i) {
        const std::string chunk = ReadExactly(client, 65536, 2000);
        if (chunk.empty())
            break;
        window = window.substr(window.size() > part2.size() ? window.size() - part2.size() : 0) + chunk;
        found = window.find(part2) != std::string::npos;
    }
    EXPECT_TRUE(found);
}

INSTANTIATE_TEST_SUITE_P(
    Tunings, StreamTuningTest,
    ::testing::Values(TuningCase{"Default", StreamTuning{}},
                      TuningCase{"Automatic", StreamTuning{StreamTuning::kSendBufferAutomatic, false, false}},
                      TuningCase{"SmallBufferNoDelay", StreamTuning{4096, true, false}},
                      TuningCase{"Coalesced", StreamTuning{StreamTuning::kSendBufferFitsPart, false, true}}),
    [](const ::testing::TestParamInfo<TuningCase>& param) { return std::string(param.param.name); });

TEST_F(ServerAnswerTest, CameraPathIgnoresCaseButNotQueryOrSlash)
{
    Start(0, 5, "/video");
    EXPECT_EQ(Exchange("GET /VIDEO HTTP/1.0\r\n\r\n"), kStreamHeader + kDelimiter);
    EXPECT_EQ(Exchange("GET /video?x=1 HTTP/1.0\r\n\r\n"), "HTTP/1.0 404 File Not Found\r\n\r\n");
    EXPECT_EQ(Exchange("GET /video/ HTTP/1.0\r\n\r\n"), "HTTP/1.0 404 File Not Found\r\n\r\n");
}

TEST_F(ServerAnswerTest, NewCameraPathAppliesToLaterConnections)
{
    Start(0, 5, "/video");
    server_->SetCamUrl("/cam");
    EXPECT_EQ(Exchange("GET /cam HTTP/1.0\r\n\r\n"), kStreamHeader + kDelimiter);
    EXPECT_EQ(Exchange("GET /video HTTP/1.0\r\n\r\n"), "HTTP/1.0 404 File Not Found\r\n\r\n");
}

TEST_F(ServerAnswerTest, OtherMethodsGetTheNotImplementedLine)
{
    Start();
    const std::string answer = Exchange("POST /form HTTP/1.0\r\n\r\n");
    EXPECT_EQ(answer, "HTTP/1.0 501 Not Implemented\r\n");
    EXPECT_EQ(answer.size(), 30u);
    // Line ends are no separators: a blank line is a method of its own.
    EXPECT_EQ(Exchange("   \r\n"), "HTTP/1.0 501 Not Implemented\r\n");
}

TEST_F(ServerAnswerTest, FilesAreSentAfterTheOkLine)
{
    WriteWwwFile("index.html", "<html>home</html>");
    WriteWwwFile("empty.txt", "");
    const std::string block(512, 'z');
    WriteWwwFile("block.bin", block);
    Start();
    const std::string ok = "HTTP/1.0 200 OK\r\n\r\n";
    EXPECT_EQ(ok.size(), 19u);
    EXPECT_EQ(Exchange("GET / HTTP/1.0\r\n\r\n"), ok + "<html>home</html>");
    EXPECT_EQ(Exchange("get /index.html HTTP/1.0\r\n\r\n"), ok + "<html>home</html>");
    EXPECT_EQ(Exchange("GET /empty.txt HTTP/1.0\r\n\r\n"), ok);
    EXPECT_EQ(Exchange("GET /block.bin HTTP/1.0\r\n\r\n"), ok + block);
    EXPECT_EQ(Exchange("GET http://host/block.bin HTTP/1.1\r\nHost: host\r\n\r\n"), ok + block);
}

TEST_F(ServerAnswerTest, MissingFileGetsTheNotFoundLineAndPage)
{
    const std::string notFound = "HTTP/1.0 404 File Not Found\r\n\r\n";
    EXPECT_EQ(notFound.size(), 31u);
    Start();
    // Neither the page nor the 404 page: the line alone.
    EXPECT_EQ(Exchange("GET / HTTP/1.0\r\n\r\n"), notFound);
    WriteWwwFile("404.html", "<p>gone</p>");
    EXPECT_EQ(Exchange("GET /missing.html HTTP/1.0\r\n\r\n"), notFound + "<p>gone</p>");
    // A folder is no file.
    std::filesystem::create_directory("www/sub");
    EXPECT_EQ(Exchange("GET /sub HTTP/1.0\r\n\r\n"), notFound + "<p>gone</p>");
    // No version: the target runs on into the next line and is no file.
    EXPECT_EQ(Exchange("GET /video\r\nHost: a\r\n\r\n"), notFound + "<p>gone</p>");
}

struct SilentCase
{
    const char* name;
    std::string request;
};

void PrintTo(const SilentCase& c, std::ostream* os)
{
    *os << ::testing::PrintToString(c.request);
}

class UnansweredRequestTest : public ServerFixture, public ::testing::WithParamInterface<SilentCase>
{
};

// Each of these is closed without a byte of answer.
TEST_P(UnansweredRequestTest, ClosedWithoutAnswer)
{
    std::filesystem::create_directory("secret");
    std::ofstream("secret.txt") << "not for the web";
    WriteWwwFile("404.html", "<p>gone</p>");
    Start();
    EXPECT_EQ(Exchange(GetParam().request), "");
}

INSTANTIATE_TEST_SUITE_P(Requests, UnansweredRequestTest,
                         ::testing::Values(SilentCase{"NoVersion", "GET /index.html\r\n\r\n"},
                                           SilentCase{"DotDot", "GET /../secret.txt HTTP/1.0\r\n\r\n"},
                                           SilentCase{"EscapedDotDot", "GET /%2e%2e/secret.txt HTTP/1.0\r\n\r\n"},
                                           SilentCase{"BadEscape", "GET /a%2G.html HTTP/1.0\r\n\r\n"},
                                           SilentCase{"ClosesBeforeLineEnd", "GET / HTTP/1.0"},
                                           SilentCase{"Silent", ""}),
                         [](const ::testing::TestParamInfo<SilentCase>& param) {
                             return std::string(param.param.name);
                         });

TEST_F(ServerAnswerTest, RequestLongerThanTheCapIsAnsweredOnItsFirst1024Bytes)
{
    WriteWwwFile("404.html", "<p>gone</p>");
    Start();
    // GET, a target of 1000 characters, and a version that the cap cuts: a 404 for the target.
    const std::string target = "/" + std::string(999, 'a');
    EXPECT_EQ(Exchange("GET " + target + " HTTP/1.0" + std::string(2000, 'x')),
              "HTTP/1.0 404 File Not Found\r\n\r\n<p>gone</p>");
}

// One real six-second wait: the time-out runs on wall-clock time, also for a thread that polls.
class RealTimeOutTest : public ServerFixture
{
protected:
    Clock& ServerClock() override { return SystemClock(); }
};

TEST_F(RealTimeOutTest, SilentClientIsClosedAfterSixSeconds)
{
    Start();
    Socket client = test::ConnectLoopback(port_);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadUntilClosed(client, 15000), "");
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(5900));
    EXPECT_LT(waited, std::chrono::milliseconds(12000));
}

} // namespace
} // namespace brightowl
