#pragma once

#include "app/Settings.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace brightowl {

// The per-user store of the Settings record: one folder (the key) holding one file per value, each
// file exactly the value's bytes. Plain file I/O on the user-interface thread; no lock.
class SettingsStore
{
public:
    explicit SettingsStore(std::filesystem::path keyFolder);

    // "$XDG_CONFIG_HOME/Quillmoor/Brightowl/Version 1.2", XDG_CONFIG_HOME defaulting to ~/.config.
    static std::filesystem::path DefaultKeyFolder();

    // Fills settings from the store, with every number brought into its range; 1 for a first run
    // (the key was created by this call, or "frun" is not zero), else 0.
    int32_t LoadSettings(Settings& settings) const;
    // Writes the whole record as it is, "frun" as zero. Failures are silent.
    void SaveSettings(const Settings& settings) const;

    const std::filesystem::path& KeyFolder() const { return keyFolder_; }

private:
    enum class KeyState
    {
        CreatedNow,
        Existing,
        Unavailable
    };

    KeyState OpenKey() const;
    // The value's bytes; none when it is missing, unreadable or longer than capacity.
    std::optional<std::string> ReadValue(std::string_view name, std::size_t capacity) const;
    std::optional<uint32_t> ReadWord(std::string_view name) const;
    void WriteValue(std::string_view name, std::string_view bytes) const;
    void WriteWord(std::string_view name, uint32_t word) const;

    std::filesystem::path keyFolder_;
};

} // namespace brightowl
