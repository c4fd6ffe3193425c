// MapRequestPath over any target: a mapped path always lies inside "www/", holds no "..", no zero
// byte, is at most three characters longer than the target, and a target without escapes or an
// absolute address maps to itself after its first character.
#include "fuzz/FuzzCheck.h"
#include "server/RequestPath.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;  // a target has at least one character
    const std::string target(reinterpret_cast<const char*>(data), size);
    const std::optional<std::string> mapped = brightowl::MapRequestPath(target);
    if (mapped) {
        FUZZ_CHECK(mapped->rfind("www/", 0) == 0);
        FUZZ_CHECK(mapped->find("..") == std::string::npos);
        FUZZ_CHECK(mapped->find('\0') == std::string::npos);
        FUZZ_CHECK(mapped->size() <= target.size() + 3);
        // Lexically, nothing climbs out of the folder.
        const std::filesystem::path normal = std::filesystem::path(*mapped).lexically_normal();
        FUZZ_CHECK(!normal.empty() && *normal.begin() == "www");
        for (const auto& part : normal)
            FUZZ_CHECK(part != "..");
    }
    const bool plain = target.find('%') == std::string::npos && target.find("http:") == std::string::npos &&
                       target.find('\0') == std::string::npos;
    if (plain) {
        const std::string expected = "www/" + target.substr(1);
        if (expected.find("..") == std::string::npos)
            FUZZ_CHECK(mapped && *mapped == expected);
        else
            FUZZ_CHECK(!mapped);
    }
    return 0;
}
