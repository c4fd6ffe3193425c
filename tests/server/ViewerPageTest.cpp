// The viewer page in a real browser: headless Chromium watches the camera through www/view.html.
#include "tests/server/ChromiumPage.h"
#include "tests/server/ServerFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <optional>
#include <filesystem>
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

    // Polls the page (in real time, at most about 20 s) until expression gives at least least.
    int WaitForCount(test::ChromiumPage& page, const std::string& expression, int least)
    {
        int value = -1;
        for (int i = 0; i < 100 && value < least; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            if (std::optional<std::string> text = page.Evaluate(expression))
                value = std::atoi(text->c_str());
        }
        return value;
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
    {
        test::ChromiumPage page(kChromium, profile_,
                                "http://127.0.0.1:" + std::to_string(port_) + "/view.html#cam=/cam");
        EXPECT_GE(WaitForCount(page, "document.getElementById('camera').dataset.changes || '0'", 5), 5);
        EXPECT_EQ(page.Evaluate("document.getElementById('camera').dataset.ended || 'no'"), "no");
        EXPECT_EQ(page.Evaluate("document.getElementById('camera').src.startsWith('blob:') ? 'yes' : 'no'"), "yes");
    }
    quit = true;
    camera.join();
}

TEST_F(ViewerPageTest, EndOfStreamIsShown)
{
    Start();  // no picture in the slot: the stream ends after its header
    test::ChromiumPage page(kChromium, profile_, "http://127.0.0.1:" + std::to_string(port_) + "/view.html");
    EXPECT_EQ(WaitForCount(page, "document.getElementById('camera').dataset.ended || '0'", 1), 1);
    EXPECT_EQ(page.Evaluate("document.getElementById('status').firstChild.textContent"),
              "The camera stream has ended.");
}

} // namespace
} // namespace brightowl
