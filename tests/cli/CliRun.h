#pragma once

// Runs a tolmar-cli command line in-process and keeps what it printed.
#include "TempFolder.h"
#include "cli/Cli.h"
#include "platform/System.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tolmar::test {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

inline CliRun runCli(const std::vector<std::string> &args)
{
    std::ostringstream out, err;
    const int status = cli::run(args, out, err);
    return {status, out.str(), err.str()};
}

// LC_ALL=C while it lives, so the long time format is HH:mm:ss (as in the
// golden files) whatever locale the tests run in.
class CLocaleScope {
public:
    CLocaleScope()
    {
        if (const char *value = std::getenv("LC_ALL"))
            m_old = value;
        setEnvironment("LC_ALL", "C");
    }
    ~CLocaleScope()
    {
        setEnvironment("LC_ALL", m_old ? m_old->c_str() : nullptr);
    }
    CLocaleScope(const CLocaleScope &) = delete;
    CLocaleScope &operator=(const CLocaleScope &) = delete;

private:
    std::optional<std::string> m_old;
};

// A fresh directory for one test, removed with everything in it afterwards.
class ScratchDir {
public:
    ScratchDir()
    {
        m_path = test::makeTempFolder("tolmar-cli-");
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    const std::string &path() const { return m_path; }
    std::string operator/(const std::string &name) const { return m_path + "/" + name; }
    // The names in the directory, sorted: shows a temporary file left behind.
    std::vector<std::string> names() const
    {
        std::vector<std::string> result;
        for (const auto &entry : std::filesystem::directory_iterator(m_path))
            result.push_back(entry.path().filename().string());
        std::sort(result.begin(), result.end());
        return result;
    }

private:
    std::string m_path;
};

inline std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string goldenFile(const std::string &name)
{
    return std::string(TOLMAR_TEST_DATA) + "/files/" + name;
}

} // namespace tolmar::test
