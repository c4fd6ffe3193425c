#include "server/ProgressTimer.h"
#include "server/SendAll.h"
#include "server/SendFile.h"

#include "tests/server/LoopbackPair.h"
#include "tests/server/TestClocks.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace brightowl {
namespace {

using test::LoopbackPair;
using test::ManualClock;

struct TimeOutCase
{
    const char* name;
    int64_t elapsedMs;
    bool givesUp;
};

void PrintTo(const TimeOutCase& c, std::ostream* os)
{
    *os << c.elapsedMs << " ms -> " << (c.givesUp ? "gives up" : "goes on");
}

class TimeOutRuleTest : public ::testing::TestWithParam<TimeOutCase>
{
};

TEST_P(TimeOutRuleTest, FiresAfterMoreThanFiveWholeSeconds)
{
    ManualClock clock;
    ProgressTimer progress(clock);
    clock.Advance(GetParam().elapsedMs);
    EXPECT_EQ(progress.GiveUp(), GetParam().givesUp);
    progress.Mark();
    EXPECT_FALSE(progress.GiveUp());
}

INSTANTIATE_TEST_SUITE_P(Elapsed, TimeOutRuleTest,
                         ::testing::Values(TimeOutCase{"Zero", 0, false}, TimeOutCase{"FiveSeconds", 5000, false},
                                           TimeOutCase{"JustBelowSix", 5999, false},
                                           TimeOutCase{"SixSeconds", 6000, true},
                                           TimeOutCase{"LongAfter", 60000, true},
                                           TimeOutCase{"ClockBackBelowSix", -5999, false},
                                           TimeOutCase{"ClockBackSix", -6000, true}),
                         [](const ::testing::TestParamInfo<TimeOutCase>& param) {
                             return std::string(param.param.name);
                         });

std::vector<uint8_t> Pattern(size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return bytes;
}

TEST(SendAllTest, ZeroLengthSucceedsWithoutSending)
{
    LoopbackPair pair = LoopbackPair::Make();
    ManualClock clock;
    ::shutdown(pair.server.Fd(), SHUT_WR);  // any send would fail now
    EXPECT_EQ(SendAll(nullptr, 0, pair.server, clock), 1);
}

TEST(SendAllTest, PeerThatStopsReadingTimesOutAfterSixSeconds)
{
    LoopbackPair pair = LoopbackPair::Make();
    pair.server.SetSendBufferSize(4096);
    ManualClock clock;
    const std::vector<uint8_t> data = Pattern(8 << 20);
    const int64_t start = clock.NowMs();
    EXPECT_EQ(SendAll(data.data(), static_cast<uint32_t>(data.size()), pair.server, clock), 0);
    // Sleeps of 100 ms until more than five whole seconds have passed since the last progress.
    EXPECT_GE(clock.NowMs() - start, 6000);
    EXPECT_GE(clock.Sleeps(), 60);
}

TEST(SendAllTest, SlowButSteadyPeerNeverTimesOut)
{
    LoopbackPair pair = LoopbackPair::Make();
    pair.server.SetSendBufferSize(4096);
    ManualClock clock;
    const std::vector<uint8_t> data = Pattern(256 << 10);
    std::string received;
    // Every 49th sleep (4.9 s without progress) the peer reads a little: never 6 s without progress.
    clock.OnSleep([&] {
        if (clock.Sleeps() % 49 != 0)
            return;
        // Read until something has come (a window reopened from zero may wait for the kernel's
        // probe timer), so that room has been made in the sender's buffer.
        const size_t before = received.size();
        for (int round = 0; round < 500 && received.size() == before; ++round) {
            // and the acknowledgement that frees it may be delayed.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        received += test::ReadAvailable(pair.client);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        // and the acknowledgement that frees it may be delayed.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        received += test::ReadAvailable(pair.client);
    });
    EXPECT_EQ(SendAll(data.data(), static_cast<uint32_t>(data.size()), pair.server, clock), 1)
        << clock.Sleeps() << " sleeps, " << received.size() << " bytes read";
    clock.OnSleep(nullptr);
    pair.server.Close();
    received += test::ReadUntilClosed(pair.client);
    EXPECT_EQ(received.size(), data.size());
    EXPECT_TRUE(received == std::string(data.begin(), data.end()));
}

TEST(SendAllTest, ClosedPeerFailsWithoutSignal)
{
    LoopbackPair pair = LoopbackPair::Make();
    ManualClock clock;
    pair.client.Close();
    const std::vector<uint8_t> data = Pattern(64 << 10);
    // The first block may still be queued; the peer's reset then fails the next. Without
    // MSG_NOSIGNAL that send would raise SIGPIPE and end the test binary.
    int32_t result = 1;
    for (int attempt = 0; attempt < 50 && result == 1; ++attempt) {
        result = SendAll(data.data(), static_cast<uint32_t>(data.size()), pair.server, clock);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(result, 0);
}

// SendFile in a temporary folder.
class SendFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/brightowl-sendfile-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::string path = folder_ + "/" + name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // SendFile's result and what the peer received.
    std::pair<int32_t, std::string> Send(const std::string& path, bool header)
    {
        LoopbackPair pair = LoopbackPair::Make();
        ManualClock clock;
        int32_t result = SendFile(path, pair.server, clock, header);
        pair.server.Close();
        return {result, test::ReadUntilClosed(pair.client)};
    }

    std::string folder_;
};

struct FileCase
{
    const char* name;
    size_t size;
    bool header;
};

void PrintTo(const FileCase& c, std::ostream* os)
{
    *os << c.size << " bytes" << (c.header ? " with" : " without") << " header";
}

class SendFileSizeTest : public SendFileTest, public ::testing::WithParamInterface<FileCase>
{
};

TEST_P(SendFileSizeTest, SendsHeaderAndEveryByte)
{
    const std::vector<uint8_t> bytes = Pattern(GetParam().size);
    auto [result, received] = Send(WriteFile("f.bin", bytes), GetParam().header);
    EXPECT_EQ(result, 0);
    const std::string expected =
        std::string(GetParam().header ? "HTTP/1.0 200 OK\r\n\r\n" : "") + std::string(bytes.begin(), bytes.end());
    EXPECT_EQ(received, expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SendFileSizeTest,
                         ::testing::Values(FileCase{"Empty", 0, true}, FileCase{"OneByte", 1, true},
                                           FileCase{"ExactlyOneRead", 512, true},
                                           FileCase{"OneMoreThanARead", 513, true},
                                           FileCase{"Large", 300000, true}, FileCase{"NoHeader", 700, false}),
                         [](const ::testing::TestParamInfo<FileCase>& param) {
                             return std::string(param.param.name);
                         });

TEST_F(SendFileTest, MissingFileSendsNothing)
{
    auto [result, received] = Send(folder_ + "/missing.html", true);
    EXPECT_EQ(result, -2);
    EXPECT_EQ(received, "");
}

TEST_F(SendFileTest, FolderIsNoFile)
{
    std::filesystem::create_directory(folder_ + "/sub");
    auto [result, received] = Send(folder_ + "/sub", true);
    EXPECT_EQ(result, -2);
    EXPECT_EQ(received, "");
}

// /proc/self/mem opens as a regular file and fails its first read: the loop ends with -1 instead of
// retrying for ever.
TEST_F(SendFileTest, FailedReadEndsWithMinusOne)
{
    auto [result, received] = Send("/proc/self/mem", true);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(received, "HTTP/1.0 200 OK\r\n\r\n");
}

TEST_F(SendFileTest, ClosedPeerEndsWithMinusOne)
{
    const std::string path = WriteFile("big.bin", Pattern(4 << 20));
    LoopbackPair pair = LoopbackPair::Make();
    ManualClock clock;
    pair.client.Close();
    EXPECT_EQ(SendFile(path, pair.server, clock, true), -1);
}

} // namespace
} // namespace brightowl
