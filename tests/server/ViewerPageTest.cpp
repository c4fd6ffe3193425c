// The viewer page in a real browser: headless Chromium watches the camera through www/view.html.
#include "tests/server/ServerFixture.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>

namespace brightowl {
namespace {

constexpr const char* kChromium = "/usr/bin/chromium";

class ViewerPageTest : public test::ServerFixture
{
protected:
    // The browser's reading may pause for a while; the real time-out applies.
    Clock& ServerClock() override { return SystemClock(); }

    void SetUp() override
    {
        if (!std::filesystem::exists(kChromium))
            GTEST_SKIP() << "chromium is not installed";
        ServerFixture::SetUp();
        std::filesystem::copy_file(std::filesystem::path(BRIGHTOWL_SOURCE_DIR) / "www" / "view.html",
                                   "www/view.html");
        profile_ = (folder_.Path() / "profile").string();
        std::filesystem::create_directory(profile_);
    }

    // The page's DOM after the browser has run it for a while.
    std::string DumpDom(const std::string& address)
    {
        const std::string command = std::string("timeout 60 ") + kChromium +
                                    " --headless --no-sandbox --disable-gpu --no-first-run"
                                    " --disable-background-networking --disable-component-update --disable-sync"
                                    " --user-data-dir=" +
                                    profile_ + " --virtual-time-budget=1500 --dump-dom '" + address + "' 2>/dev/null";
        std::string dom;
        if (FILE* pipe = ::popen(command.c_str(), "r")) {
            char buffer[4096];
            size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
                dom.append(buffer, n);
            ::pclose(pipe);
        }
        return dom;
    }

    static int Attribute(const std::string& dom, const std::string& name)
    {
        std::smatch match;
        if (!std::regex_search(dom, match, std::regex(name + "=\"([0-9]+)\"")))
            return -1;
        return std::stoi(match[1].str());
    }

    std::string profile_;
};

TEST_F(ViewerPageTest, PictureChangesOverTime)
{
    Start(0, 5, "/cam");
    std::atomic<bool> quit{false};
    // A camera whose picture changes about thirty times a second.
    std::thread camera([&] {
        for (uint8_t seed = 1; !quit; ++seed) {
            Deliver(Picture(seed));
            std::this_thread::sleep_for(std::chrono::milliseconds(33));
        }
    });
    const std::string dom = DumpDom("http://127.0.0.1:" + std::to_string(port_) + "/view.html#cam=/cam");
    quit = true;
    camera.join();
    ASSERT_NE(dom.find("id=\"camera\""), std::string::npos) << dom;
    EXPECT_GE(Attribute(dom, "data-changes"), 3) << dom.substr(0, 2000);
    EXPECT_EQ(dom.find("data-ended"), std::string::npos);
}

TEST_F(ViewerPageTest, EndOfStreamIsShown)
{
    Start();  // no picture in the slot: the stream ends after its header
    const std::string dom = DumpDom("http://127.0.0.1:" + std::to_string(port_) + "/view.html");
    EXPECT_NE(dom.find("The camera stream has ended."), std::string::npos) << dom.substr(0, 2000);
    EXPECT_NE(dom.find("data-ended=\"1\""), std::string::npos);
}

} // namespace
} // namespace brightowl
