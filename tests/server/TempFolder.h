#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace brightowl::test {

// A new temporary folder made the current directory for the object's life; the old one comes back
// and the folder is removed afterwards.
class TempFolder
{
public:
    TempFolder() : previous_(std::filesystem::current_path())
    {
        char pattern[] = "/tmp/brightowl-test-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            ADD_FAILURE() << "no temporary folder";
            return;
        }
        path_ = pattern;
        std::filesystem::current_path(path_);
    }

    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        if (!path_.empty()) {
            std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
            std::filesystem::remove_all(path_, ignored);
        }
    }

    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

} // namespace brightowl::test
