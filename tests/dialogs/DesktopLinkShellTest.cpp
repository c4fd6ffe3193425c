#include "dialogs/DesktopLinkShell.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace brightowl::test {
namespace {

// Points the freedesktop.org folders at a temporary tree for the test's duration.
class DesktopLinkShellTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        for (const char* name : kVariables) {
            const char* value = std::getenv(name);
            saved.emplace_back(value != nullptr ? std::optional<std::string>(value) : std::nullopt);
        }
        QDir(root.path()).mkpath("config");
        QDir(root.path()).mkpath("home/applications");
        QDir(root.path()).mkpath("system/applications");
        setenv("XDG_CONFIG_HOME", Path("config").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", Path("etc").c_str(), 1);
        setenv("XDG_DATA_HOME", Path("home").c_str(), 1);
        setenv("XDG_DATA_DIRS", Path("system").c_str(), 1);
    }

    void TearDown() override
    {
        for (std::size_t i = 0; i < std::size(kVariables); ++i) {
            if (saved[i])
                setenv(kVariables[i], saved[i]->c_str(), 1);
            else
                unsetenv(kVariables[i]);
        }
    }

    std::string Path(const char* relative) const { return QDir(root.path()).filePath(relative).toStdString(); }

    void Write(const char* relative, const char* content) const
    {
        QFile file(QString::fromStdString(Path(relative)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    static constexpr const char* kVariables[] = {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME",
                                                 "XDG_DATA_DIRS"};
    QTemporaryDir root;
    std::vector<std::optional<std::string>> saved;
    DesktopLinkShell shell;
};

TEST_F(DesktopLinkShellTest, FindsTheExecLineOfTheFirstInstalledDefaultHtmlHandler)
{
    Write("config/mimeapps.list", "[Added Associations]\ntext/html=other.desktop;\n"
                                  "[Default Applications]\ntext/plain=editor.desktop\n"
                                  "text/html=missing.desktop;viewer.desktop;\n");
    Write("system/applications/viewer.desktop", "[Desktop Entry]\nName=Viewer\nExec=viewer --new %U\n"
                                                "[Desktop Action private]\nExec=viewer --private %U\n");
    EXPECT_EQ(shell.HtmlHandlerCommand(), "viewer --new %U");
}

TEST_F(DesktopLinkShellTest, NoDefaultHandlerGivesNothing)
{
    Write("config/mimeapps.list", "[Default Applications]\ntext/plain=editor.desktop\n");
    Write("system/applications/editor.desktop", "[Desktop Entry]\nExec=editor %F\n");
    EXPECT_EQ(shell.HtmlHandlerCommand(), std::nullopt);
}

TEST_F(DesktopLinkShellTest, RunsACommandLineDetached)
{
    EXPECT_GT(shell.RunDetached("true  http://a.example/"), 32);
    EXPECT_EQ(shell.RunDetached(Path("no-such-program") + " http://a.example/"), 2);
    EXPECT_EQ(shell.RunDetached("   "), 2);
}

} // namespace
} // namespace brightowl::test
