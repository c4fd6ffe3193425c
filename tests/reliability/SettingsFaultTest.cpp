#include "app/SettingsStore.h"
#include "tests/app/SettingsTesting.h"
#include "tests/reliability/ScaledClock.h"
#include "tests/server/TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace brightowl {
namespace {

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

std::string Word(uint32_t value)
{
    std::string bytes(4, '\0');
    for (size_t i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFFu);
    return bytes;
}

class SettingsFaultTest : public ::testing::Test
{
protected:
    fs::path Key() const { return folder_.Path() / "Quillmoor" / "Brightowl" / "Version 1.2"; }

    void WriteValue(const std::string& name, const std::string& bytes)
    {
        fs::create_directories(Key());
        std::ofstream(Key() / name, std::ios::binary | std::ios::trunc) << bytes;
    }

    Settings Load(int32_t* result = nullptr)
    {
        Settings loaded{1, 9, 99, 49, 4242, "/before"};
        const int32_t first = store_.LoadSettings(loaded);
        if (result != nullptr)
            *result = first;
        return loaded;
    }

    test::TempFolder folder_;
    SettingsStore store_{Key()};
};

// A process killed at any moment of SaveSettings, again and again: every value then loads as it
// was in the old record or as in the new one, never as anything else, and no run is taken for a
// first run.
TEST_F(SettingsFaultTest, KilledDuringSaveEveryValueLoadsAsTheOldOrTheNewRecord)
{
    const Settings oldRecord{0, 2, 40, 7, 8080, "/old-camera"};
    const Settings newRecord{1, 9, 95, 42, 50123, "/a-new-and-much-longer-camera-path"};
    store_.SaveSettings(oldRecord);
    const int rounds = 150 * test::Scale();
    int mixed = 0;
    for (int round = 0; round < rounds; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) {
                store_.SaveSettings(newRecord);
                store_.SaveSettings(oldRecord);
            }
        }
        // Kill it at a different point of its saves each round.
        std::this_thread::sleep_for(std::chrono::microseconds(200 + (round * 397) % 4000));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);

        int32_t result = -1;
        const Settings loaded = Load(&result);
        EXPECT_EQ(result, 0);
        auto either = [&](auto field) {
            return loaded.*field == oldRecord.*field || loaded.*field == newRecord.*field;
        };
        ASSERT_TRUE(either(&Settings::logFlag) && either(&Settings::driverIndex) &&
                    either(&Settings::jpegQuality) && either(&Settings::maxClients) && either(&Settings::port) &&
                    either(&Settings::camUrl))
            << "round " << round << ": " << ::testing::PrintToString(loaded);
        mixed += (loaded == oldRecord || loaded == newRecord) ? 0 : 1;
    }
    // Each value is replaced whole, one after the other: a kill between two of them leaves a mix
    // of the two records, value by value.
    RecordProperty("mixed_records", mixed);
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(Key()))
        ++files;
    RecordProperty("files_in_key", files);
    std::printf("rounds %d, mixed records %d, files in the key %d\n", rounds, mixed, files);
}

// Every length of every 4-byte value, and of the camera path, over bytes that would be in range:
// only exactly four bytes are the value; a camera path of 1 to 64 bytes is taken.
TEST_F(SettingsFaultTest, ValueFilesOfEveryWrongLengthLoadAsMissing)
{
    struct Field
    {
        const char* name;
        uint32_t value;
        uint32_t Settings::*field;
    };
    const Field fields[] = {{"portnum", 2000, &Settings::port},
                            {"compression", 77, &Settings::jpegQuality},
                            {"driver", 4, &Settings::driverIndex},
                            {"maxclients", 9, &Settings::maxClients}};
    for (const Field& f : fields) {
        for (size_t length = 0; length <= 12; ++length) {
            std::string bytes = Word(f.value);
            bytes.resize(length, '\0');
            WriteValue(f.name, bytes);
            const Settings loaded = Load();
            const Settings defaults;
            EXPECT_EQ(loaded.*f.field, length == 4 ? f.value : defaults.*f.field) << f.name << " of " << length;
            fs::remove(Key() / f.name);
        }
    }
    for (size_t length = 0; length <= 80; ++length) {
        const std::string path = length == 0 ? "" : "/" + std::string(length - 1, 'c');
        WriteValue("camurl", path);
        const Settings loaded = Load();
        EXPECT_EQ(loaded.camUrl, length >= 1 && length <= 64 ? path : "/video") << "camurl of " << length;
    }
    for (size_t length = 0; length <= 8; ++length) {
        WriteValue("frun", std::string(length, '\x01'));
        int32_t result = -1;
        Load(&result);
        EXPECT_EQ(result, length == 4 ? 1 : 0) << "frun of " << length;
    }
}

// Values that are not files at all: a folder, a device that never ends, a link to nothing, a pipe
// with no writer. Each loads as missing, at once.
TEST_F(SettingsFaultTest, ValuesThatAreNoFilesLoadAsMissingWithoutWaiting)
{
    WriteValue("frun", Word(0));
    fs::create_directory(Key() / "portnum");
    fs::create_symlink("/dev/zero", Key() / "camurl");
    fs::create_symlink(Key() / "nowhere", Key() / "compression");
    ASSERT_EQ(::mkfifo((Key() / "maxclients").c_str(), 0600), 0);
    // Should the load wait for a writer, this one comes after two seconds and ends the wait.
    std::atomic<bool> loaded{false};
    std::thread unblock([&loaded, path = Key() / "maxclients"] {
        for (int i = 0; i < 200 && !loaded; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    });
    const Steady::time_point start = Steady::now();
    int32_t result = -1;
    const Settings record = Load(&result);
    const auto took = Steady::now() - start;
    loaded = true;
    unblock.join();
    EXPECT_LT(took, std::chrono::seconds(1)) << "the load waited on the pipe";
    EXPECT_EQ(record, Settings{});
    EXPECT_EQ(result, 0);
}

// A settings folder that cannot be written: the load keeps what is there, the save fails without
// a sound and without harm. As root, where permissions do not hold, values that are folders stand
// in for files that cannot be replaced.
TEST_F(SettingsFaultTest, ASettingsFolderThatCannotBeWrittenDoesNotCrash)
{
    const Settings stored{1, 3, 60, 8, 9000, "/cam"};
    store_.SaveSettings(stored);
    if (::geteuid() != 0) {
        fs::permissions(Key(), fs::perms::owner_read | fs::perms::owner_exec);
        store_.SaveSettings(Settings{});
        EXPECT_EQ(Load(), stored);
        fs::permissions(Key(), fs::perms::owner_all);
    }
    for (const char* name : {"frun", "connections", "portnum", "compression", "driver", "maxclients", "camurl"}) {
        fs::remove(Key() / name);
        fs::create_directory(Key() / name);
    }
    store_.SaveSettings(stored);
    int32_t result = -1;
    EXPECT_EQ(Load(&result), Settings{});
    EXPECT_EQ(result, 0);

    // The key's folder itself cannot be made: a file stands where its parent should be.
    fs::remove_all(folder_.Path() / "Quillmoor");
    std::ofstream(folder_.Path() / "Quillmoor") << "a file";
    store_.SaveSettings(stored);
    EXPECT_EQ(Load(&result), Settings{});
}

} // namespace
} // namespace brightowl
