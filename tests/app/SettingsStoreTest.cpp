#include "app/SettingsStore.h"
#include "tests/app/SettingsTesting.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace brightowl {
namespace {

namespace fs = std::filesystem;

std::string Word(uint32_t value)
{
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFFu));
    return bytes;
}

class SettingsStoreTest : public testing::Test
{
protected:
    fs::path Key() const { return fs::path(root_.path().toStdString()) / "Quillmoor" / "Brightowl" / "Version 1.2"; }

    void WriteValue(const std::string& name, const std::string& bytes) const
    {
        fs::create_directories(Key());
        std::ofstream(Key() / name, std::ios::binary) << bytes;
    }

    std::string ReadValue(const std::string& name) const
    {
        std::ifstream file(Key() / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

    std::vector<std::string> FilesInKey() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Key()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    QTemporaryDir root_;
    SettingsStore store_{Key()};
};

// One stored key and what LoadSettings makes of it.
struct LoadCase
{
    const char* name;
    std::vector<std::pair<std::string, std::string>> values;
    std::function<void(Settings&)> expect; // changes from the defaults
    int32_t result = 0;
};

void PrintTo(const LoadCase& c, std::ostream* os)
{
    *os << c.name;
}

class SettingsLoadTest : public SettingsStoreTest, public testing::WithParamInterface<LoadCase>
{
};

TEST_P(SettingsLoadTest, LoadsIntoRange)
{
    const LoadCase& c = GetParam();
    fs::create_directories(Key());
    for (const auto& [name, bytes] : c.values)
        WriteValue(name, bytes);

    Settings loaded;
    loaded.port = 4242; // whatever the record held before is replaced
    loaded.camUrl = "/old";
    const int32_t result = store_.LoadSettings(loaded);

    Settings expected;
    if (c.expect)
        c.expect(expected);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(loaded, expected);
}

const std::string k64 = "/" + std::string(63, 'a');
const std::string k65 = "/" + std::string(64, 'a');

INSTANTIATE_TEST_SUITE_P(
    Values, SettingsLoadTest,
    testing::Values(LoadCase{"ExistingKeyWithoutValues", {}, nullptr, 0}, //
                    LoadCase{"FrunOne", {{"frun", Word(1)}}, nullptr, 1},
                    LoadCase{"FrunZero", {{"frun", Word(0)}}, nullptr, 0},
                    LoadCase{"FrunOfTwoBytesReadsAsMissing", {{"frun", std::string("\x01\x00", 2)}}, nullptr, 0},
                    LoadCase{"Port1024", {{"portnum", Word(1024)}}, nullptr},
                    LoadCase{"Port1025", {{"portnum", Word(1025)}}, [](Settings& s) { s.port = 1025; }},
                    LoadCase{"Port65000", {{"portnum", Word(65000)}}, [](Settings& s) { s.port = 65000; }},
                    LoadCase{"Port65001", {{"portnum", Word(65001)}}, nullptr},
                    LoadCase{"Port0", {{"portnum", Word(0)}}, nullptr},
                    LoadCase{"PortOfTwoBytesKeepsDefault", {{"portnum", std::string("\x90\x1F", 2)}}, nullptr},
                    LoadCase{"PortOfEightBytesKeepsDefault", {{"portnum", Word(8080) + Word(0)}}, nullptr},
                    LoadCase{"Quality0", {{"compression", Word(0)}}, nullptr},
                    LoadCase{"Quality1", {{"compression", Word(1)}}, [](Settings& s) { s.jpegQuality = 1; }},
                    LoadCase{"Quality100", {{"compression", Word(100)}}, [](Settings& s) { s.jpegQuality = 100; }},
                    LoadCase{"Quality101", {{"compression", Word(101)}}, nullptr},
                    LoadCase{"MaxClients0", {{"maxclients", Word(0)}}, nullptr},
                    LoadCase{"MaxClients1", {{"maxclients", Word(1)}}, [](Settings& s) { s.maxClients = 1; }},
                    LoadCase{"MaxClients50", {{"maxclients", Word(50)}}, [](Settings& s) { s.maxClients = 50; }},
                    LoadCase{"MaxClients51", {{"maxclients", Word(51)}}, nullptr},
                    LoadCase{"LogFlag1", {{"connections", Word(1)}}, [](Settings& s) { s.logFlag = 1; }},
                    LoadCase{"LogFlag2", {{"connections", Word(2)}}, nullptr},
                    LoadCase{"LogFlagMinus1", {{"connections", Word(0xFFFFFFFFu)}}, nullptr},
                    LoadCase{"Driver10", {{"driver", Word(10)}}, [](Settings& s) { s.driverIndex = 10; }},
                    LoadCase{"Driver11", {{"driver", Word(11)}}, nullptr},
                    LoadCase{"DriverAllOnes", {{"driver", Word(0xFFFFFFFFu)}}, nullptr},
                    LoadCase{"CamUrlOf64Bytes", {{"camurl", k64}}, [](Settings& s) { s.camUrl = k64; }},
                    LoadCase{"CamUrlOf65Bytes", {{"camurl", k65}}, nullptr},
                    LoadCase{"CamUrlWithTrailingZero", {{"camurl", std::string("/video\0", 7)}}, nullptr},
                    LoadCase{"CamUrlEndsAtInnerZero",
                             {{"camurl", std::string("/cam\0junk", 9)}},
                             [](Settings& s) { s.camUrl = "/cam"; }},
                    LoadCase{"CamUrlEmpty", {{"camurl", ""}}, nullptr},
                    LoadCase{"CamUrlStartingWithZero", {{"camurl", std::string("\0/cam", 5)}}, nullptr},
                    LoadCase{"EveryValueIntoItsField",
                             {{"frun", Word(0)},
                              {"connections", Word(1)},
                              {"portnum", Word(8080)},
                              {"compression", Word(90)},
                              {"driver", Word(3)},
                              {"maxclients", Word(12)},
                              {"camurl", "/cam"}},
                             [](Settings& s) { s = Settings{1, 3, 90, 12, 8080, "/cam"}; }}),
    [](const testing::TestParamInfo<LoadCase>& param) { return std::string(param.param.name); });

TEST_F(SettingsStoreTest, NoKeyYetIsCreatedAndIsAFirstRun)
{
    ASSERT_FALSE(fs::exists(Key()));
    Settings loaded{1, 2, 3, 4, 5, "/x"};
    EXPECT_EQ(store_.LoadSettings(loaded), 1);
    EXPECT_EQ(loaded, Settings{});
    EXPECT_TRUE(fs::is_directory(Key()));
    EXPECT_TRUE(FilesInKey().empty());
    // The key exists now: without a save, the next start is no first run by the key alone.
    EXPECT_EQ(store_.LoadSettings(loaded), 0);
}

TEST_F(SettingsStoreTest, KeyThatCanBeNeitherOpenedNorCreatedGivesDefaultsAndNoFirstRun)
{
    fs::create_directories(Key().parent_path());
    std::ofstream(Key()) << "not a folder";
    Settings loaded{1, 2, 3, 4, 5, "/x"};
    EXPECT_EQ(store_.LoadSettings(loaded), 0);
    EXPECT_EQ(loaded, Settings{});
    store_.SaveSettings(Settings{}); // fails silently
    EXPECT_TRUE(fs::is_regular_file(Key()));
}

TEST_F(SettingsStoreTest, SaveWritesEveryValueAsItsExactBytes)
{
    store_.SaveSettings(Settings{1, 3, 90, 12, 8080, "/cam"});
    EXPECT_EQ(FilesInKey(), (std::vector<std::string>{"camurl", "compression", "connections", "driver", "frun",
                                                      "maxclients", "portnum"}));
    EXPECT_EQ(ReadValue("frun"), std::string(4, '\0'));
    EXPECT_EQ(ReadValue("connections"), std::string("\x01\x00\x00\x00", 4));
    EXPECT_EQ(ReadValue("portnum"), std::string("\x90\x1F\x00\x00", 4));
    EXPECT_EQ(ReadValue("compression"), std::string("\x5A\x00\x00\x00", 4));
    EXPECT_EQ(ReadValue("driver"), std::string("\x03\x00\x00\x00", 4));
    EXPECT_EQ(ReadValue("maxclients"), std::string("\x0C\x00\x00\x00", 4));
    EXPECT_EQ(ReadValue("camurl"), "/cam");

    Settings loaded;
    EXPECT_EQ(store_.LoadSettings(loaded), 0);
    EXPECT_EQ(loaded, (Settings{1, 3, 90, 12, 8080, "/cam"}));
}

TEST_F(SettingsStoreTest, DefaultsRoundTripWithThePublishedBytes)
{
    store_.SaveSettings(Settings{});
    EXPECT_EQ(ReadValue("portnum"), std::string("\x50\x00\x00\x00", 4));
    EXPECT_EQ(ReadValue("compression"), std::string("\x23\x00\x00\x00", 4));
    EXPECT_EQ(ReadValue("camurl"), "/video");
    Settings loaded{1, 2, 3, 4, 5, "/x"};
    EXPECT_EQ(store_.LoadSettings(loaded), 0);
    EXPECT_EQ(loaded, Settings{});
}

TEST_F(SettingsStoreTest, SaveWritesOutOfRangeValuesAsTheyAreAndLoadBringsThemBack)
{
    // The driver selection can leave -1 and the dialogs what the user typed; only loading clamps.
    Settings unchecked{7, 0xFFFFFFFFu, 0, 0, 80, ""};
    store_.SaveSettings(unchecked);
    EXPECT_EQ(ReadValue("connections"), Word(7));
    EXPECT_EQ(ReadValue("driver"), std::string("\xFF\xFF\xFF\xFF", 4));
    EXPECT_EQ(ReadValue("compression"), Word(0));
    EXPECT_EQ(ReadValue("camurl"), "");
    EXPECT_EQ(fs::file_size(Key() / "camurl"), 0u);

    Settings loaded;
    EXPECT_EQ(store_.LoadSettings(loaded), 0);
    EXPECT_EQ(loaded, Settings{});
}

TEST_F(SettingsStoreTest, AFirstRunLastsUntilTheNextSave)
{
    WriteValue("frun", Word(1));
    Settings loaded;
    EXPECT_EQ(store_.LoadSettings(loaded), 1);
    store_.SaveSettings(loaded);
    EXPECT_EQ(ReadValue("frun"), std::string(4, '\0'));
    EXPECT_EQ(store_.LoadSettings(loaded), 0);
}

TEST_F(SettingsStoreTest, SaveReplacesEachValueWholeAndLeavesNoTemporaryFiles)
{
    WriteValue("camurl", std::string(200, 'x'));
    store_.SaveSettings(Settings{0, 0, 35, 5, 80, "/v"});
    EXPECT_EQ(ReadValue("camurl"), "/v");
    EXPECT_EQ(FilesInKey().size(), 7u);
}

TEST(SettingsStoreLocation, FollowsXdgConfigHomeAndIgnoresARelativeOne)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/somewhere/config");
    EXPECT_EQ(SettingsStore::DefaultKeyFolder(), fs::path("/somewhere/config/Quillmoor/Brightowl/Version 1.2"));
    qputenv("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(SettingsStore::DefaultKeyFolder(),
              fs::path(qgetenv("HOME").toStdString()) / ".config/Quillmoor/Brightowl/Version 1.2");
    qputenv("XDG_CONFIG_HOME", saved);
}

} // namespace
} // namespace brightowl
