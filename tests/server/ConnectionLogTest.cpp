#include "server/ConnectionLog.h"

#include "tests/server/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/stat.h>

namespace brightowl {
namespace {

TEST(FormatLogLineTest, DateTimeAndMessage)
{
    std::tm local{};
    local.tm_year = 104;  // 2004
    local.tm_mon = 2;     // March
    local.tm_mday = 7;
    local.tm_hour = 9;
    local.tm_min = 5;
    local.tm_sec = 3;
    EXPECT_EQ(FormatLogLine(local, "Connection received from: 192.168.0.5"),
              "03/07/04 09:05:03 Connection received from: 192.168.0.5\n");
    local.tm_year = 126;
    local.tm_mon = 11;
    local.tm_mday = 31;
    local.tm_hour = 23;
    local.tm_min = 59;
    local.tm_sec = 59;
    EXPECT_EQ(FormatLogLine(local, "x"), "12/31/26 23:59:59 x\n");
}

class WriteLogLineTest : public ::testing::Test
{
protected:
    test::TempFolder folder_;
};

std::string ReadAll(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(WriteLogLineTest, FirstLineCreatesTheFileAndLaterLinesAppend)
{
    ASSERT_FALSE(std::filesystem::exists(kLogFileName));
    EXPECT_EQ(WriteLogLine("Connection received from: 127.0.0.1"), 1);
    EXPECT_EQ(WriteLogLine("Connection closed: 127.0.0.1"), 1);
    const std::regex expected(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d Connection received from: 127\.0\.0\.1)"
                              "\n"
                              R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d Connection closed: 127\.0\.0\.1)"
                              "\n");
    EXPECT_TRUE(std::regex_match(ReadAll(kLogFileName), expected)) << ReadAll(kLogFileName);
}

TEST_F(WriteLogLineTest, UnwritableFileFails)
{
    if (::geteuid() == 0) {
        // root writes read-only files: a folder in the file's place cannot be opened by anyone.
        std::filesystem::create_directory(kLogFileName);
    } else {
        std::ofstream(kLogFileName).put('x');
        ::chmod(kLogFileName, 0444);
    }
    EXPECT_EQ(WriteLogLine("Connection closed: 127.0.0.1"), 0);
}

} // namespace
} // namespace brightowl
