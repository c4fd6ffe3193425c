// LoadSettings over arbitrary value files in a temporary XDG_CONFIG_HOME. The input describes the
// key: its first byte says which of the seven values exist; then each existing value is a length
// byte and that many bytes (255: the value is a folder instead of a file). Whatever is stored,
// every field loads into its range, and what SaveSettings then writes loads back the same.
#include "app/SettingsStore.h"
#include "fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using brightowl::Settings;
using brightowl::SettingsStore;

constexpr const char* kValues[] = {"frun", "connections", "portnum", "compression", "driver", "maxclients", "camurl"};

fs::path* key = nullptr;

bool InRange(const Settings& s)
{
    return s.logFlag >= 0 && s.logFlag <= 1 && s.driverIndex <= 10 && s.jpegQuality >= 1 && s.jpegQuality <= 100 &&
           s.maxClients >= 1 && s.maxClients <= 50 && ((s.port >= 1025 && s.port <= 65000) || s.port == 80) &&
           !s.camUrl.empty() && s.camUrl.size() <= 64 && s.camUrl.find('\0') == std::string::npos;
}

bool Same(const Settings& a, const Settings& b)
{
    return a.logFlag == b.logFlag && a.driverIndex == b.driverIndex && a.jpegQuality == b.jpegQuality &&
           a.maxClients == b.maxClients && a.port == b.port && a.camUrl == b.camUrl;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char pattern[] = "/tmp/brightowl-fuzz-settings-XXXXXX";
    const fs::path root = ::mkdtemp(pattern);
    ::setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    key = new fs::path(SettingsStore::DefaultKeyFolder());
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(key->parent_path().parent_path().parent_path(), ignored);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::error_code ignored;
    fs::remove_all(*key, ignored);
    size_t at = 0;
    const uint8_t present = size > 0 ? data[at++] : 0;
    // Bit 7 clear: the key exists (with the values below); set: there is no key yet.
    if ((present & 0x80) == 0) {
        fs::create_directories(*key);
        for (size_t i = 0; i < 7; ++i) {
            if ((present & (1u << i)) == 0)
                continue;
            const size_t length = at < size ? data[at++] : 0;
            if (length == 255) {
                fs::create_directory(*key / kValues[i]);
                continue;
            }
            const size_t take = std::min(length, size - at);
            std::ofstream(*key / kValues[i], std::ios::binary)
                .write(reinterpret_cast<const char*>(data + at), static_cast<std::streamsize>(take));
            at += take;
        }
    }

    const SettingsStore store(*key);
    Settings loaded{7, 77, 777, 7777, 77777, "/stale"};
    const int32_t firstRun = store.LoadSettings(loaded);
    FUZZ_CHECK(firstRun == 0 || firstRun == 1);
    FUZZ_CHECK(InRange(loaded));
    if ((present & 0x80) != 0)
        FUZZ_CHECK(firstRun == 1 && Same(loaded, Settings{}));

    store.SaveSettings(loaded);
    Settings again;
    FUZZ_CHECK(store.LoadSettings(again) == 0);
    FUZZ_CHECK(Same(again, loaded));
    return 0;
}
