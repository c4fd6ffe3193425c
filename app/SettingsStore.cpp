#include "app/SettingsStore.h"

#include <QSaveFile>
#include <QString>

#include <array>
#include <cstdlib>
#include <fstream>
#include <system_error>

namespace brightowl {

namespace {

constexpr std::size_t kCamUrlCapacity = 64;
constexpr std::size_t kWordSize = 4;

template <typename T> void ClampToRange(T& value, T low, T high, T fallback)
{
    if (value < low || value > high)
        value = fallback;
}

} // namespace

SettingsStore::SettingsStore(std::filesystem::path keyFolder) : keyFolder_(std::move(keyFolder)) {}

std::filesystem::path SettingsStore::DefaultKeyFolder()
{
    // A relative XDG_CONFIG_HOME is to be ignored, as the XDG base directory rules say.
    std::filesystem::path root;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/')
        root = config;
    else {
        const char* home = std::getenv("HOME");
        root = std::filesystem::path(home != nullptr ? home : "") / ".config";
    }
    return root / "Quillmoor" / "Brightowl" / "Version 1.2";
}

SettingsStore::KeyState SettingsStore::OpenKey() const
{
    std::error_code error;
    std::filesystem::create_directories(keyFolder_.parent_path(), error);
    // create_directory reports true only when this call made the folder: the key was created just now.
    if (std::filesystem::create_directory(keyFolder_, error))
        return KeyState::CreatedNow;
    if (std::filesystem::is_directory(keyFolder_, error))
        return KeyState::Existing;
    return KeyState::Unavailable;
}

std::optional<std::string> SettingsStore::ReadValue(std::string_view name, std::size_t capacity) const
{
    // Only a regular file holds a value: opening a pipe would hold the start-up until something
    // writes to it.
    std::error_code error;
    if (!std::filesystem::is_regular_file(keyFolder_ / name, error))
        return std::nullopt;
    std::ifstream file(keyFolder_ / name, std::ios::binary);
    if (!file)
        return std::nullopt;
    // One byte more than the buffer holds tells a value that does not fit, which fails to read.
    std::string bytes(capacity + 1, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (file.bad())
        return std::nullopt;
    const auto count = static_cast<std::size_t>(file.gcount());
    if (count > capacity)
        return std::nullopt;
    bytes.resize(count);
    return bytes;
}

std::optional<uint32_t> SettingsStore::ReadWord(std::string_view name) const
{
    // A 4-byte value of any other length is not that value: it reads as missing.
    const std::optional<std::string> bytes = ReadValue(name, kWordSize);
    if (!bytes || bytes->size() != kWordSize)
        return std::nullopt;
    uint32_t word = 0;
    for (std::size_t i = 0; i < kWordSize; ++i)
        word |= static_cast<uint32_t>(static_cast<unsigned char>((*bytes)[i])) << (8 * i);
    return word;
}

void SettingsStore::WriteValue(std::string_view name, std::string_view bytes) const
{
    // QSaveFile writes beside the value and renames over it, so a crash never leaves half a value.
    const std::filesystem::path path = keyFolder_ / name;
    QSaveFile file(QString::fromStdString(path.string()));
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    file.commit();
}

void SettingsStore::WriteWord(std::string_view name, uint32_t word) const
{
    std::array<char, kWordSize> bytes{};
    for (std::size_t i = 0; i < kWordSize; ++i)
        bytes[i] = static_cast<char>((word >> (8 * i)) & 0xFFu);
    WriteValue(name, std::string_view(bytes.data(), bytes.size()));
}

int32_t SettingsStore::LoadSettings(Settings& settings) const
{
    settings = Settings{};
    uint32_t firstRunMark = 0;

    const KeyState key = OpenKey();
    std::optional<std::string> camUrl;
    if (key == KeyState::Existing) {
        firstRunMark = ReadWord("frun").value_or(firstRunMark);
        if (const std::optional<uint32_t> logFlag = ReadWord("connections"))
            settings.logFlag = static_cast<int32_t>(*logFlag);
        settings.port = ReadWord("portnum").value_or(settings.port);
        settings.jpegQuality = ReadWord("compression").value_or(settings.jpegQuality);
        settings.driverIndex = ReadWord("driver").value_or(settings.driverIndex);
        settings.maxClients = ReadWord("maxclients").value_or(settings.maxClients);
        camUrl = ReadValue("camurl", kCamUrlCapacity);
    }

    ClampToRange(settings.logFlag, 0, 1, 0);
    ClampToRange(settings.port, 1025u, 65000u, 80u);
    ClampToRange(settings.jpegQuality, 1u, 100u, 35u);
    ClampToRange(settings.driverIndex, 0u, 10u, 0u);
    ClampToRange(settings.maxClients, 1u, 50u, 5u);

    if (camUrl && !camUrl->empty()) {
        // The text ends at a zero byte among the stored bytes; an empty text keeps the default,
        // since a camera path of no characters could never be asked for.
        std::string text = camUrl->substr(0, camUrl->find('\0'));
        if (!text.empty())
            settings.camUrl = std::move(text);
    }

    return (key == KeyState::CreatedNow || firstRunMark != 0) ? 1 : 0;
}

void SettingsStore::SaveSettings(const Settings& settings) const
{
    if (OpenKey() == KeyState::Unavailable)
        return;
    WriteWord("frun", 0);
    WriteWord("connections", static_cast<uint32_t>(settings.logFlag));
    WriteWord("portnum", settings.port);
    WriteWord("compression", settings.jpegQuality);
    WriteWord("driver", settings.driverIndex);
    WriteWord("maxclients", settings.maxClients);
    WriteValue("camurl", settings.camUrl);
}

} // namespace brightowl
