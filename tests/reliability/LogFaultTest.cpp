#include "server/ConnectionLog.h"
#include "tests/reliability/ReliabilityFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace brightowl {
namespace {

namespace fs = std::filesystem;

constexpr char kIndex[] = "<html>index</html>";
constexpr char kLogMessage[] = "Error writing to log file!";

int LogLines()
{
    std::ifstream log(kLogFileName);
    int lines = 0;
    for (std::string line; std::getline(log, line);)
        ++lines;
    return lines;
}

class LogFaultTest : public test::ReliabilityFixture
{
protected:
    void SetUp() override
    {
        ReliabilityFixture::SetUp();
        WriteWwwFile("index.html", kIndex);
        Start(1, 5);
    }

    void ServeRequests(int count)
    {
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(Exchange("GET / HTTP/1.0\r\n\r\n"), std::string("HTTP/1.0 200 OK\r\n\r\n") + kIndex);
    }

    // Waits (bounded) for that many boxes, all of them the log's message.
    void ExpectLogMessages(size_t count)
    {
        for (int i = 0; i < 2000 && prompt_.Boxes().size() < count; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto boxes = prompt_.Boxes();
        EXPECT_EQ(boxes.size(), count);
        for (const auto& box : boxes)
            EXPECT_EQ(box.text, kLogMessage);
    }
};

// The log turns into something that cannot be written while a stream is open and requests come
// in: every line that fails brings the message, the stream and the requests are served as before,
// and lines are written again once the file can be.
TEST_F(LogFaultTest, AnUnwritableLogBringsTheMessagePerLineAndServingGoesOn)
{
    const int requests = 10 * test::Scale();
    ServeRequests(1);
    EXPECT_EQ(LogLines(), 2);
    Deliver(Picture(2));
    std::unique_ptr<test::Viewer> viewer = OpenViewer();
    EXPECT_EQ(viewer->Header().substr(0, 17), "HTTP/1.0 200 OK\r\n");

    // A folder where the file was: it cannot be opened.
    fs::rename(kLogFileName, "Brightowl.log.kept");
    fs::create_directory(kLogFileName);
    ServeRequests(requests);
    EXPECT_EQ(viewer->Header().size(), 90u);
    // A viewer that has gone has no peer address left, so its end has no line (and no message).
    viewer.reset();
    ExpectLogMessages(static_cast<size_t>(2 * requests));

    // A file that opens but whose write fails (a full disk): the line is lost at the flush.
    fs::remove(kLogFileName);
    fs::create_symlink("/dev/full", kLogFileName);
    ServeRequests(requests);
    ExpectLogMessages(static_cast<size_t>(4 * requests));

    fs::remove(kLogFileName);
    fs::rename("Brightowl.log.kept", kLogFileName);
    ServeRequests(1);
    EXPECT_EQ(LogLines(), 5) << "the first request's two lines, the viewer's arrival, the last request's two";
    ExpectLogMessages(static_cast<size_t>(4 * requests));
}

} // namespace
} // namespace brightowl
