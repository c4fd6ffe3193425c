// The launcher's preparation of the working folder: the real script runs a stand-in program that
// records where it ran and writes into www/, in a temporary folder with its own HOME.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace brightowl::test {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteText(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

bool OwnerMayWrite(const fs::path& path)
{
    return (fs::status(path).permissions() & fs::perms::owner_write) != fs::perms::none;
}

// Every entry below a folder with its permissions and, for files, its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& root)
{
    std::map<std::string, std::string> entries;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        std::ostringstream text;
        text << static_cast<unsigned>(entry.status().permissions()) << ':';
        if (entry.is_regular_file())
            text << ReadText(entry.path());
        entries[fs::relative(entry.path(), root).string()] = text.str();
    }
    return entries;
}

// A temporary folder with a home, a data home, the shipped files and a stand-in program.
class LauncherTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/brightowl-launch-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = fs::canonical(pattern);
        shipped_ = root_ / "shipped";
        program_ = root_ / "program";
        fs::create_directories(root_ / "home");
        WriteText(shipped_ / "www" / "404.html", "shipped 404");
        WriteText(shipped_ / "www" / "view.html", "shipped view");
        WriteText(shipped_ / "www" / "img" / "owl.png", "shipped owl");
        WriteText(shipped_ / "readme.pdf", "shipped readme");
        WriteProgram(program_);
    }

    void TearDown() override
    {
        std::error_code ignored;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root_, ignored))
            if (entry.is_directory(ignored))
                fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(root_, ignored);
    }

    // The program records its working folder, shows that it may write into www/ and ends with
    // the exit code 1 of the real one.
    void WriteProgram(const fs::path& path) const
    {
        WriteText(path, "#!/bin/sh\npwd -P > '" + (root_ / "ran-in").string() +
                            "'\necho probe > www/probe.txt || exit 3\nexit 1\n");
        fs::permissions(path, fs::perms::owner_all);
    }

    // Runs a launcher with HOME in the temporary folder and XDG_DATA_HOME as given; its exit code.
    int Run(const fs::path& launcher, const std::vector<std::string>& arguments,
            const std::optional<std::string>& dataHome) const
    {
        std::vector<std::string> words{launcher.string()};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<std::string> environment{"PATH=/usr/bin:/bin", "HOME=" + (root_ / "home").string()};
        if (dataHome)
            environment.push_back("XDG_DATA_HOME=" + *dataHome);
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);

        const std::string output = (root_ / "launcher.out").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // Started in the temporary folder, so that a launcher that stayed put writes nothing elsewhere.
        const std::string start = root_.string();
        posix_spawn_file_actions_addchdir_np(&actions, start.c_str());
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        pid_t pid = 0;
        const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0)
            return -1;
        int status = 0;
        if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
            return -1;
        return WEXITSTATUS(status);
    }

    int RunFromSource(const std::optional<std::string>& dataHome) const
    {
        return Run(BRIGHTOWL_SOURCE_LAUNCHER,
                   {program_.string(), (shipped_ / "www").string(), (shipped_ / "readme.pdf").string()}, dataHome);
    }

    std::string Output() const { return ReadText(root_ / "launcher.out"); }
    std::string RanIn() const { return ReadText(root_ / "ran-in"); }

    fs::path root_;
    fs::path shipped_;
    fs::path program_;
    fs::path Work() const { return root_ / "data" / "brightowl"; }
    std::string DataHome() const { return (root_ / "data").string(); }

    void ExpectShippedCopies() const
    {
        EXPECT_EQ(ReadText(Work() / "www" / "404.html"), "shipped 404");
        EXPECT_EQ(ReadText(Work() / "www" / "view.html"), "shipped view");
        EXPECT_EQ(ReadText(Work() / "www" / "img" / "owl.png"), "shipped owl");
        EXPECT_EQ(ReadText(Work() / "readme.pdf"), "shipped readme");
    }
};

TEST_F(LauncherTest, EmptyFolderGetsTheShippedFilesAndTheProgramRunsThere)
{
    ASSERT_EQ(RunFromSource(DataHome()), 1) << Output();
    ExpectShippedCopies();
    EXPECT_EQ(RanIn(), Work().string() + "\n");
    EXPECT_EQ(ReadText(Work() / "www" / "probe.txt"), "probe\n");
    EXPECT_NE(Output().find("Brightowl runs in " + Work().string()), std::string::npos) << Output();
}

TEST_F(LauncherTest, UsersOwnFilesStayAndMissingOnesAreAdded)
{
    WriteText(Work() / "www" / "index.html", "the wizard's page");
    WriteText(Work() / "www" / "view.html", "my own view");
    WriteText(Work() / "readme.pdf", "an older readme");
    // Older than the shipped copy, as after an upgrade: still the user's, still kept.
    const fs::file_time_type lastYear =
        fs::last_write_time(shipped_ / "www" / "view.html") - std::chrono::hours(24 * 365);
    fs::last_write_time(Work() / "www" / "view.html", lastYear);
    // A link the user made in place of a shipped page stays a link, and its target is left alone.
    WriteText(root_ / "elsewhere.html", "my 404");
    fs::create_symlink(root_ / "elsewhere.html", Work() / "www" / "404.html");

    ASSERT_EQ(RunFromSource(DataHome()), 1) << Output();

    EXPECT_EQ(ReadText(Work() / "www" / "index.html"), "the wizard's page");
    EXPECT_EQ(ReadText(Work() / "www" / "view.html"), "my own view");
    EXPECT_TRUE(fs::is_symlink(Work() / "www" / "404.html"));
    EXPECT_EQ(ReadText(root_ / "elsewhere.html"), "my 404");
    EXPECT_EQ(ReadText(Work() / "www" / "img" / "owl.png"), "shipped owl");
    EXPECT_EQ(ReadText(Work() / "readme.pdf"), "shipped readme");
}

TEST_F(LauncherTest, ReadOnlyDataDirectoryGivesCopiesTheUserMayChange)
{
    for (const fs::path& file : {shipped_ / "www" / "404.html", shipped_ / "www" / "view.html",
                                 shipped_ / "www" / "img" / "owl.png", shipped_ / "readme.pdf"})
        fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const fs::perms readOnlyFolder = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
    for (const fs::path& folder : {shipped_ / "www" / "img", shipped_ / "www", shipped_})
        fs::permissions(folder, readOnlyFolder);
    const std::map<std::string, std::string> before = Snapshot(shipped_);

    ASSERT_EQ(RunFromSource(DataHome()), 1) << Output();
    ExpectShippedCopies();
    for (const fs::path& path :
         {Work() / "www", Work() / "www" / "img", Work() / "www" / "404.html", Work() / "www" / "view.html",
          Work() / "www" / "img" / "owl.png", Work() / "readme.pdf"})
        EXPECT_TRUE(OwnerMayWrite(path)) << path;

    // The next start finds everything in place and runs as the first did.
    fs::remove(root_ / "ran-in");
    ASSERT_EQ(RunFromSource(DataHome()), 1) << Output();
    EXPECT_EQ(RanIn(), Work().string() + "\n");
    EXPECT_EQ(Snapshot(shipped_), before);
}

TEST_F(LauncherTest, InstalledLauncherFindsItsFilesBesideItself)
{
    const fs::path prefix = root_ / "prefix";
    const fs::path bin = prefix / BRIGHTOWL_INSTALL_BINDIR;
    const fs::path data = prefix / BRIGHTOWL_INSTALL_DATADIR / "brightowl";
    fs::create_directories(bin);
    fs::copy_file(BRIGHTOWL_INSTALLED_LAUNCHER, bin / "brightowl-launch");
    WriteProgram(bin / "brightowl");
    fs::create_directories(data);
    fs::copy(shipped_, data, fs::copy_options::recursive);
    // Started through a link elsewhere, as from a folder on the PATH.
    fs::create_directories(root_ / "links");
    fs::create_symlink(bin / "brightowl-launch", root_ / "links" / "brightowl-launch");

    ASSERT_EQ(Run(root_ / "links" / "brightowl-launch", {}, DataHome()), 1) << Output();
    ExpectShippedCopies();
    EXPECT_EQ(RanIn(), Work().string() + "\n");
}

// Where the working folder is for each XDG_DATA_HOME; a relative one is ignored, as the XDG base
// directory rules say.
struct FolderCase
{
    const char* name;
    std::optional<std::string> dataHome; // relative to the temporary folder when it starts with '+'
    const char* expected;                // relative to the temporary folder
};

void PrintTo(const FolderCase& folderCase, std::ostream* out)
{
    *out << folderCase.name;
}

class LauncherFolderTest : public LauncherTest, public ::testing::WithParamInterface<FolderCase>
{
};

TEST_P(LauncherFolderTest, WorkingFolderFollowsTheDataHome)
{
    const FolderCase& folderCase = GetParam();
    std::optional<std::string> dataHome = folderCase.dataHome;
    if (dataHome && dataHome->starts_with('+'))
        dataHome = (root_ / dataHome->substr(1)).string();
    ASSERT_EQ(RunFromSource(dataHome), 1) << Output();
    const fs::path expected = root_ / folderCase.expected;
    EXPECT_EQ(RanIn(), expected.string() + "\n");
    EXPECT_EQ(ReadText(expected / "www" / "404.html"), "shipped 404");
}

INSTANTIATE_TEST_SUITE_P(DataHomes, LauncherFolderTest,
                         ::testing::Values(FolderCase{"Absolute", "+elsewhere/data", "elsewhere/data/brightowl"},
                                           FolderCase{"Unset", std::nullopt, "home/.local/share/brightowl"},
                                           FolderCase{"Empty", "", "home/.local/share/brightowl"},
                                           FolderCase{"Relative", "data", "home/.local/share/brightowl"}),
                         [](const ::testing::TestParamInfo<FolderCase>& param) { return param.param.name; });

} // namespace
} // namespace brightowl::test
