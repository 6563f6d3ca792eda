#pragma once

// What the fuzz targets share: sources that hand the input over in pieces of
// varying size, a sink into memory, record comparison and a loud failure.

#include "files/ByteStreams.h"
#include "files/LoadResult.h"
#include "files/TextEncoding.h"
#include "record/ReadingTable.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace tolmar::fuzz {

// A fault the sanitizers cannot see (a wrong result): libFuzzer keeps the
// input as a crash like any other.
[[noreturn]] inline void fail(const char *what, const std::string &detail = {})
{
    std::fprintf(stderr, "fuzz check failed: %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
    std::fflush(stderr);
    std::abort();
}

inline std::uint64_t hashBytes(std::string_view bytes)
{
    std::uint64_t h = 0xcbf29ce484222325ull; // FNV-1a
    for (const char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001b3ull;
    }
    return h;
}

// splitmix64: a few lines, good enough to pick piece sizes.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    // 1 .. limit
    std::size_t upTo(std::size_t limit) { return 1 + static_cast<std::size_t>(next() % limit); }
    // Mostly tiny pieces, so that tags, references, UTF-8 sequences and CR LF
    // pairs are cut often; now and then a large one.
    std::size_t pieceSize()
    {
        switch (next() % 4) {
        case 0:
        case 1: return upTo(8);
        case 2: return upTo(64);
        default: return upTo(4096);
        }
    }

private:
    std::uint64_t m_state;
};

// The bytes in pieces of random size (seeded by the input, so a crash file
// reproduces): a reader must not care where its reads end. Rewinding starts
// over with new piece sizes.
class PiecewiseSource final : public ByteSource {
public:
    PiecewiseSource(std::string_view bytes, std::uint64_t seed) : m_bytes(bytes), m_random(seed) {}
    std::ptrdiff_t read(char *buffer, std::size_t capacity) override
    {
        if (capacity == 0)
            fail("a read with no room");
        std::size_t n = std::min({capacity, m_bytes.size() - m_at, m_random.pieceSize()});
        m_bytes.copy(buffer, n, m_at);
        m_at += n;
        return static_cast<std::ptrdiff_t>(n);
    }
    bool rewind() override
    {
        m_at = 0;
        ++rewinds;
        return true;
    }
    std::uint64_t size() const override { return m_bytes.size(); }
    std::string error() const override { return {}; }

    int rewinds = 0;

private:
    std::string_view m_bytes;
    std::size_t m_at = 0;
    Random m_random;
};

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

inline bool validUtf8(std::string_view text)
{
    Utf8Validator validator;
    validator.feed(text.data(), text.size());
    return validator.complete();
}

inline std::size_t utf8Characters(std::string_view text)
{
    std::size_t count = 0;
    for (const char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

inline std::string describe(const std::optional<std::int32_t> &value)
{
    return value ? std::to_string(*value) : "null";
}

inline std::string describe(const ReadingRecord &r)
{
    return "No=" + describe(r.No) + " Time=" + describe(r.Time) + " DC/AC=\"" + std::string(r.DCAC) + "\" Value=\"" +
           std::string(r.Value) + "\" Unit=\"" + std::string(r.Unit) + "\" Auto=\"" + std::string(r.Auto) +
           "\" Nval=" + describe(r.Nval) + " state=" + std::to_string(r.changeState);
}

inline bool sameFields(const ReadingRecord &a, const ReadingRecord &b)
{
    return a.No == b.No && a.Time == b.Time && a.DCAC == b.DCAC && a.Value == b.Value && a.Unit == b.Unit &&
           a.Auto == b.Auto && a.Nval == b.Nval;
}

inline void requireSameTables(const ReadingTable &a, const ReadingTable &b, bool compareStates, const char *what)
{
    if (a.size() != b.size())
        fail(what, std::to_string(a.size()) + " records against " + std::to_string(b.size()));
    for (std::size_t i = 0; i < a.size(); ++i) {
        const ReadingRecord x = a.at(i);
        const ReadingRecord y = b.at(i);
        if (!sameFields(x, y) || (compareStates && x.changeState != y.changeState))
            fail(what, "record " + std::to_string(i) + ": " + describe(x) + " against " + describe(y));
    }
}

inline std::string describe(const LoadResult &r)
{
    const char *status = r.status == LoadResult::Status::Loaded   ? "loaded"
                         : r.status == LoadResult::Status::Failed ? "failed"
                                                                  : "cancelled";
    return std::string(status) + " offset " + std::to_string(r.offset) + " line " + std::to_string(r.line) + " \"" +
           r.error + "\"";
}

inline void requireSameResults(const LoadResult &a, const LoadResult &b, const char *what)
{
    if (a.status != b.status || a.error != b.error || a.offset != b.offset || a.line != b.line)
        fail(what, describe(a) + " against " + describe(b));
}

// What every table a reader fills must hold: UTF-8 texts (a file that is not
// UTF-8 is converted from Windows-1252) of at most the field width.
inline void requireStoredTexts(const ReadingTable &table)
{
    for (std::size_t i = 0; i < table.size(); ++i) {
        const ReadingRecord r = table.at(i);
        for (const std::string_view text : {r.DCAC, r.Value, r.Unit, r.Auto}) {
            if (!validUtf8(text))
                fail("a stored text is not UTF-8", describe(r));
            if (utf8Characters(text) > stringFieldWidth)
                fail("a stored text is longer than the field", describe(r));
        }
    }
}

} // namespace tolmar::fuzz
