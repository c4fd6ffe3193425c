#include "app/ShellOpener.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace brightowl {
namespace {

class ShellOpenerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        saved_ = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(folder_.path()));
    }
    void TearDown() override { QDir::setCurrent(saved_); }

    std::vector<QUrl> opened_;
    bool desktopAnswer_ = true;
    ShellOpener shell_{[this](const QUrl& url) {
        opened_.push_back(url);
        return desktopAnswer_;
    }};
    QTemporaryDir folder_;
    QString saved_;
};

TEST_F(ShellOpenerTest, MissingFileIsFileNotFoundAndOpensNothing)
{
    EXPECT_EQ(shell_.OpenFile("Brightowl.log"), ShellOpener::kFileNotFound);
    EXPECT_TRUE(opened_.empty());
}

TEST_F(ShellOpenerTest, ExistingFileIsOpenedAsALocalFileUrlFromTheCurrentDirectory)
{
    QFile file("readme.pdf");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(shell_.OpenFile("readme.pdf"), ShellOpener::kOpened);
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_TRUE(opened_[0].isLocalFile());
    EXPECT_EQ(opened_[0].toLocalFile(), QDir(folder_.path()).absoluteFilePath("readme.pdf"));
}

TEST_F(ShellOpenerTest, DesktopRefusalIsAnotherFailureThanFileNotFound)
{
    QFile file("Brightowl.log");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    desktopAnswer_ = false;
    const int32_t result = shell_.OpenFile("Brightowl.log");
    EXPECT_NE(result, ShellOpener::kOpened);
    EXPECT_NE(result, ShellOpener::kFileNotFound);
}

} // namespace
} // namespace brightowl
