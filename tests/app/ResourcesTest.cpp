#include "resources/AppIcon.h"
#include "resources/MenuTable.h"
#include "resources/StringTable.h"

#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace brightowl {
namespace {

TEST(ResourcesTest, MainMenuHasEveryCommandOnceWithItsAccessKeys)
{
    const auto menu = FindMenuResource("WEBCAMMENU");
    ASSERT_EQ(menu.size(), 13u);
    std::set<int32_t> commands;
    std::vector<std::string> popups; // in order, each once
    for (const MenuEntry& entry : menu) {
        if (entry.text != nullptr) {
            EXPECT_TRUE(commands.insert(entry.command).second) << entry.command;
        }
        if (popups.empty() || popups.back() != entry.popup)
            popups.push_back(entry.popup);
    }
    EXPECT_EQ(popups, (std::vector<std::string>{"&File", "&Video", "&Server", "&Help"}));
    EXPECT_EQ(commands, (std::set<int32_t>{101, 200, 201, 202, 203, 300, 301, 302, 40003, 40004, 40005, 40006}));
    EXPECT_EQ(std::string(menu[0].text), "E&xit");
    EXPECT_EQ(menu[8].command, 0);
    EXPECT_EQ(menu[8].text, nullptr);
    EXPECT_TRUE(FindMenuResource("OTHERMENU").empty());
}

TEST(ResourcesTest, StatusPaneStringsExist)
{
    EXPECT_STREQ(LoadResourceString(60000), "0 user(s) connected");
    EXPECT_STREQ(LoadResourceString(60001), "Server Not Running");
    EXPECT_STREQ(LoadResourceString(60002), "Not Previewing");
    EXPECT_EQ(LoadResourceString(60003), nullptr);
}

TEST(ResourcesTest, Icon106HasALargeAndASmallPictureOfAtMostSixteenColours)
{
    const QIcon icon = LoadIconResource(106);
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    for (const QSize& size : {QSize(32, 32), QSize(16, 16)}) {
        const QImage image = icon.pixmap(size).toImage();
        std::set<QRgb> colours;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                colours.insert(image.pixel(x, y));
        EXPECT_LE(colours.size(), 16u) << size.width();
        EXPECT_GT(colours.size(), 4u) << size.width();
    }
    EXPECT_TRUE(LoadIconResource(107).isNull());
}

} // namespace
} // namespace brightowl
