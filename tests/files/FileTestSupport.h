#pragma once

// Helpers shared by the data file tests: rows as plain values, byte sinks and
// sources with tricks, golden files and a scratch folder.

#include "TempFolder.h"
#include "files/ByteStreams.h"
#include "record/ReadingTable.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace tolmar::filetest {

// A record with its texts owned, so expectations can be written as values.
struct Row {
    std::optional<std::int32_t> No = {};
    std::optional<std::int32_t> Time = {};
    std::string DCAC = {};
    std::string Value = {};
    std::string Unit = {};
    std::string Auto = {};
    std::optional<std::int32_t> Nval = {};
    std::uint8_t changeState = 0; // as read from a row without RowState
    bool operator==(const Row &) const = default;
};

inline void PrintTo(const Row &row, std::ostream *os)
{
    const auto number = [&](const char *name, const std::optional<std::int32_t> &v) {
        *os << name << '=' << (v ? std::to_string(*v) : std::string("null")) << ' ';
    };
    const auto text = [&](const char *name, const std::string &v) {
        *os << name << "=\"" << ::testing::PrintToString(v) << "\" ";
    };
    *os << "{";
    number("No", row.No);
    number("Time", row.Time);
    text("DC/AC", row.DCAC);
    text("Value", row.Value);
    text("Unit", row.Unit);
    text("Auto", row.Auto);
    number("Nval", row.Nval);
    *os << "state=" << int(row.changeState) << "}";
}

constexpr std::int32_t ms(int hour, int minute, int second, int millisecond = 0)
{
    return ((hour * 60 + minute) * 60 + second) * 1000 + millisecond;
}

inline Row rowOf(const ReadingRecord &r)
{
    return {r.No, r.Time, std::string(r.DCAC), std::string(r.Value), std::string(r.Unit),
            std::string(r.Auto), r.Nval, r.changeState};
}

inline std::vector<Row> rowsOf(const ReadingTable &table)
{
    std::vector<Row> rows;
    for (std::size_t i = 0; i < table.size(); ++i)
        rows.push_back(rowOf(table.at(i)));
    return rows;
}

inline ReadingRecord recordOf(const Row &row)
{
    ReadingRecord r;
    r.No = row.No;
    r.Time = row.Time;
    r.DCAC = row.DCAC;
    r.Value = row.Value;
    r.Unit = row.Unit;
    r.Auto = row.Auto;
    r.Nval = row.Nval;
    r.changeState = row.changeState;
    return r;
}

inline void appendRows(ReadingTable &table, const std::vector<Row> &rows)
{
    for (const Row &row : rows)
        table.append(recordOf(row));
}

inline ReadingTable tableOf(const std::vector<Row> &rows)
{
    ReadingTable table;
    appendRows(table, rows);
    return table;
}

// The same rows as a recording appends them: change state 4.
inline std::vector<Row> asRecorded(std::vector<Row> rows)
{
    for (Row &row : rows)
        row.changeState = rowStateInserted;
    return rows;
}

inline std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot read " << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::string &path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

inline std::string goldenPath(const std::string &name)
{
    return std::string(TOLMAR_TEST_DATA) + "/files/" + name;
}

inline std::string golden(const std::string &name)
{
    return readFile(goldenPath(name));
}

// Byte-for-byte comparison that names the first difference.
inline ::testing::AssertionResult sameBytes(const std::string &actual, const std::string &expected)
{
    if (actual == expected)
        return ::testing::AssertionSuccess();
    const auto diff = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    const std::size_t at = static_cast<std::size_t>(diff.first - actual.begin());
    const std::size_t from = at < 40 ? 0 : at - 40;
    return ::testing::AssertionFailure()
           << "sizes " << actual.size() << " and " << expected.size() << ", first difference at byte " << at
           << "\n  actual:   ..." << ::testing::PrintToString(actual.substr(from, 100))
           << "\n  expected: ..." << ::testing::PrintToString(expected.substr(from, 100));
}

class StringSink final : public ByteSink {
public:
    bool write(const char *bytes, std::size_t size) override
    {
        text.append(bytes, size);
        return true;
    }
    std::string error() const override { return {}; }
    std::string text;
};

// Takes `budget` bytes, then fails every write.
class FailingSink final : public ByteSink {
public:
    explicit FailingSink(std::size_t budget) : m_budget(budget) {}
    bool write(const char *, std::size_t size) override
    {
        if (size > m_budget) {
            m_budget = 0;
            m_failed = true;
        } else {
            m_budget -= size;
        }
        return !m_failed;
    }
    std::string error() const override { return m_failed ? "No space left on device" : ""; }

private:
    std::size_t m_budget;
    bool m_failed = false;
};

// Hands out one byte per read, so every tag, reference and UTF-8 sequence
// is split between blocks.
class OneByteSource final : public ByteSource {
public:
    explicit OneByteSource(std::string_view bytes) : m_inner(bytes), m_size(bytes.size()) {}
    std::ptrdiff_t read(char *buffer, std::size_t capacity) override
    {
        return m_inner.read(buffer, std::min<std::size_t>(capacity, 1));
    }
    bool rewind() override
    {
        ++rewinds;
        return m_inner.rewind();
    }
    std::uint64_t size() const override { return m_size; }
    std::string error() const override { return {}; }
    int rewinds = 0;

private:
    MemorySource m_inner;
    std::size_t m_size;
};

// A source whose read fails after `good` bytes.
class BrokenSource final : public ByteSource {
public:
    BrokenSource(std::string_view bytes, std::size_t good) : m_inner(bytes.substr(0, good)), m_size(bytes.size()) {}
    std::ptrdiff_t read(char *buffer, std::size_t capacity) override
    {
        const std::ptrdiff_t n = m_inner.read(buffer, capacity);
        return n > 0 ? n : -1;
    }
    bool rewind() override { return m_inner.rewind(); }
    std::uint64_t size() const override { return m_size; }
    std::string error() const override { return "Input/output error"; }

private:
    MemorySource m_inner;
    std::size_t m_size;
};

// A fresh folder under the test temporary directory, removed with all it
// holds at the end of the test.
class ScratchDir {
public:
    ScratchDir()
    {
        m_path = test::makeTempFolder("tolmar-files-");
        EXPECT_FALSE(m_path.empty()) << "no temporary folder";
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    std::string file(const std::string &name) const { return m_path + "/" + name; }
    const std::string &path() const { return m_path; }
    // The names in the folder, sorted.
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(m_path))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string m_path;
};

} // namespace tolmar::filetest
