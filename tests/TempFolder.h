#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace tolmar::test {

// A new folder under the test temporary directory, named `prefix` and six
// random letters, as mkdtemp makes them (which Windows lacks). Empty when
// none could be made.
inline std::string makeTempFolder(const std::string &prefix)
{
    static std::mt19937_64 random{std::random_device{}()};
    const std::filesystem::path base(::testing::TempDir());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = prefix;
        for (int i = 0; i < 6; ++i)
            name += static_cast<char>('a' + random() % 26);
        std::error_code error;
        if (std::filesystem::create_directory(base / name, error))
            return (base / name).string();
        if (error)
            return {};
    }
    return {};
}

} // namespace tolmar::test
