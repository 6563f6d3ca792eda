#include "record/ReadingTable.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>
#include <thread>

namespace tolmar {
namespace {

ReadingRecord reading(int no, std::string_view value)
{
    ReadingRecord r;
    r.No = no;
    r.Time = 50'000'000 + no;
    r.DCAC = "DC";
    r.Value = value;
    r.Unit = " V";
    r.Auto = "pass";
    return r;
}

TEST(ReadingTableFields, SevenFieldsInOrder)
{
    const char *names[] = {"No", "Time", "DC/AC", "Value", "Unit", "Auto", "Nval"};
    for (std::size_t i = 0; i < readingFields.size(); ++i)
        EXPECT_STREQ(readingFields[i].name, names[i]);
    EXPECT_EQ(readingFields[3].type, FieldType::String);
    EXPECT_EQ(readingFields[3].width, 20);
    EXPECT_EQ(readingFields[1].type, FieldType::Time);
}

TEST(ReadingTableFields, TextsAreCutToTwentyCharacters)
{
    const struct {
        std::string text;
        std::string kept;
    } cases[] = {
        {"12345678901234567890", "12345678901234567890"},
        {"123456789012345678901", "12345678901234567890"},
        // UTF-8: twenty characters, not bytes.
        {"\xd9\xab" "234567890123456789012", "\xd9\xab" "2345678901234567890"},
        {"\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9",
         "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9"},
        // Not UTF-8 (the meter's own bytes, Windows-1252 files): bytes.
        {"\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5",
         "\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5"},
    };
    for (const auto &c : cases) {
        ReadingTable table;
        ReadingRecord r;
        r.Value = c.text;
        r.Unit = c.text;
        table.append(r);
        EXPECT_EQ(table.at(0).Value, c.kept) << c.text;
        EXPECT_EQ(table.at(0).Unit, c.kept);
    }
}

TEST(ReadingTableRecords, NullsAndChangeStatesAreKept)
{
    ReadingTable table;
    ReadingRecord loaded;
    loaded.Nval = -7;
    loaded.changeState = 8; // as a file gave it
    table.append(loaded);
    table.append(reading(3, "1.234"));

    const ReadingRecord first = table.at(0);
    EXPECT_EQ(first.No, std::nullopt);
    EXPECT_EQ(first.Time, std::nullopt);
    EXPECT_EQ(first.Nval, -7);
    EXPECT_EQ(first.changeState, 8);
    EXPECT_EQ(first.Value, "");

    const ReadingRecord second = table.at(1);
    EXPECT_EQ(second.No, 3);
    EXPECT_EQ(second.Time, 50'000'003);
    EXPECT_EQ(second.Nval, std::nullopt);
    EXPECT_EQ(second.changeState, rowStateInserted);
    EXPECT_EQ(second.DCAC, "DC");
    EXPECT_EQ(second.Value, "1.234");
    EXPECT_EQ(second.Unit, " V");
    EXPECT_EQ(second.Auto, "pass");

    // A file's record with some texts and not others: the missing ones are
    // views without data (the sanitizer build checks they are never copied).
    ReadingRecord partial;
    partial.Unit = "mV";
    table.append(partial);
    EXPECT_EQ(table.at(2).DCAC, "");
    EXPECT_EQ(table.at(2).Unit, "mV");
    EXPECT_EQ(table.at(2).Auto, "");
}

TEST(ReadingTableRecords, ManyChunksReadBackAndRepeatedTextsAreKeptOnce)
{
    ReadingTable table;
    constexpr int count = 200'000; // three chunks and a part
    for (int i = 0; i < count; ++i)
        table.append(reading(i, std::to_string(i % 100)));
    ASSERT_EQ(table.size(), static_cast<std::size_t>(count));
    for (int i : {0, 65'535, 65'536, 131'072, count - 1}) {
        EXPECT_EQ(table.at(static_cast<std::size_t>(i)).No, i);
        EXPECT_EQ(table.at(static_cast<std::size_t>(i)).Value, std::to_string(i % 100));
    }
    // Four chunks of 65,536 records at 22 bytes, and the texts once.
    EXPECT_LT(table.bytesUsed(), 4u * 65'536 * 23) << "texts repeat: one copy each";
}

TEST(ReadingTableSnapshots, ASnapshotKeepsItsRowsThroughAppendsAndClears)
{
    ReadingTable table;
    for (int i = 0; i < 70'000; ++i)
        table.append(reading(i, "0.500"));
    const ReadingTableSnapshot snapshot = table.snapshot();
    // Read on another thread while recording goes on, then the table is cleared.
    std::size_t sum = 0;
    std::thread reader([&] {
        for (std::size_t i = 0; i < snapshot.size(); ++i)
            sum += static_cast<std::size_t>(*snapshot.at(i).No) + snapshot.at(i).Value.size();
    });
    for (int i = 0; i < 70'000; ++i)
        table.append(reading(i, "new value"));
    reader.join();
    table.clear();
    EXPECT_TRUE(table.empty());
    ASSERT_EQ(snapshot.size(), 70'000u);
    EXPECT_EQ(sum, 70'000ull * 69'999 / 2 + 70'000ull * 5);
    EXPECT_EQ(snapshot.at(69'999).Value, "0.500");
    table.append(reading(1, "after"));
    EXPECT_EQ(table.at(0).Value, "after");
}

} // namespace
} // namespace tolmar

namespace tolmar {
namespace {

TEST(ReadingTableRecords, AMovedFromTableIsEmptyAndUsable)
{
    ReadingTable loaded;
    loaded.append(reading(7, "3.300"));
    ReadingTable table = std::move(loaded);
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table.at(0).Value, "3.300");
    EXPECT_TRUE(loaded.empty()); // NOLINT(bugprone-use-after-move): moved-from is defined as empty
    loaded.append(reading(8, "after"));
    EXPECT_EQ(loaded.at(0).Value, "after");
    EXPECT_GT(loaded.bytesUsed(), 0u);
}

// Moving one table's rows to the end of another: on a chunk boundary the
// chunks change hands, elsewhere rows are copied across chunk edges. Either
// way every record reads back in order, with texts that outlive the source,
// and a snapshot taken before keeps its own rows.
TEST(ReadingTableRecords, AppendingATableKeepsEveryRecordInOrder)
{
    constexpr std::size_t chunk = 65'536;
    const struct {
        std::size_t before, appended;
    } cases[] = {{0, 10}, {0, chunk + 5}, {3, 10}, {chunk - 2, 5}, {chunk, chunk + 1}, {7, 2 * chunk + 3}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.before) + " + " + std::to_string(c.appended));
        ReadingTable table;
        for (std::size_t i = 0; i < c.before; ++i)
            table.append(reading(static_cast<int>(i), "old"));
        const ReadingTableSnapshot earlier = table.snapshot();
        {
            ReadingTable rows;
            for (std::size_t i = 0; i < c.appended; ++i)
                rows.append(reading(static_cast<int>(c.before + i), "new " + std::to_string(i % 97)));
            table.append(std::move(rows));
            EXPECT_TRUE(rows.empty());
            rows.append(reading(-1, "the source is usable again"));
        }
        ASSERT_EQ(table.size(), c.before + c.appended);
        for (std::size_t i = 0; i < table.size(); ++i) {
            const ReadingRecord r = table.at(i);
            ASSERT_EQ(r.No, static_cast<int>(i));
            ASSERT_EQ(r.Value, i < c.before ? "old" : "new " + std::to_string((i - c.before) % 97));
        }
        EXPECT_EQ(earlier.size(), c.before);
        // Appends after the moved rows go on where they end.
        table.append(reading(-2, "after"));
        EXPECT_EQ(table.at(table.size() - 1).Value, "after");
        EXPECT_EQ(table.at(table.size() - 2).No, static_cast<int>(c.before + c.appended - 1));
    }
}

} // namespace
} // namespace tolmar

namespace tolmar {
namespace {

// The texts of one record: DC/AC, Value, Unit, Auto.
using Texts = std::array<std::string, 4>;

ReadingRecord withTexts(const Texts &texts, std::size_t i)
{
    ReadingRecord r;
    r.No = static_cast<std::int32_t>(i);
    r.DCAC = texts[0];
    r.Value = texts[1];
    r.Unit = texts[2];
    r.Auto = texts[3];
    return r;
}

// Twenty characters of four bytes each, spelling i in base 4.
std::string fourByteCharacters(std::size_t i)
{
    static const char *const digits[] = {"\xf0\x9f\x98\x80", "\xf0\x9f\x98\x81", "\xf0\x9f\x98\x82", "\xf0\x9f\x98\x83"};
    std::string text;
    for (int d = 0; d < 20; ++d, i /= 4)
        text += digits[i % 4];
    return text;
}

// Texts are kept once per field: every distinct text reads back as it was
// given, however its bytes look and wherever it falls in the store (block
// ends, the index growing), and a text given again is the same stored text.
TEST(ReadingTableRecords, EveryDistinctTextReadsBackAndRepeatsAreKeptOnce)
{
    const struct {
        const char *what;
        std::size_t count;
        Texts (*make)(std::size_t);
    } cases[] = {
        {"values of every length across many blocks and index growths", 150'000,
         [](std::size_t i) { return Texts{"DC", std::to_string(i) + std::string(i % 13, '.'), " V", "AUTO"}; }},
        {"the longest texts: twenty characters of four bytes", 20'000,
         [](std::size_t i) { return Texts{"AC", fourByteCharacters(i), fourByteCharacters(i + 1), ""}; }},
        {"values that are prefixes of one another, bytes 00 and FF", 30'000,
         [](std::size_t i) {
             std::string v = std::to_string(i / 3).substr(0, 17);
             return Texts{"", i % 3 == 0 ? v : i % 3 == 1 ? v + std::string(1, '\0') : v + "\xff", "", ""};
         }},
        // A mode keeps where each of its texts ends: "AB" + "C" is not "A" + "BC".
        {"modes whose texts join the same way", 6,
         [](std::size_t i) {
             const Texts modes[] = {{"AB", "", "C", ""}, {"A", "", "BC", ""}, {"", "", "ABC", ""},
                                    {"ABC", "", "", ""},  {"", "", "", "ABC"},  {"", "", "", ""}};
             return modes[i];
         }},
        {"many modes, values empty", 40'000,
         [](std::size_t i) { return Texts{std::to_string(i % 7), "", std::to_string(i), std::to_string(i % 11)}; }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ReadingTable table;
        for (std::size_t i = 0; i < c.count; ++i)
            table.append(withTexts(c.make(i), i));
        // Each text once more: found, not stored again.
        for (std::size_t i = 0; i < c.count; ++i)
            table.append(withTexts(c.make(i), i));
        ASSERT_EQ(table.size(), 2 * c.count);
        for (std::size_t i = 0; i < c.count; ++i) {
            const Texts texts = c.make(i);
            const ReadingRecord first = table.at(i);
            const ReadingRecord again = table.at(c.count + i);
            const std::string_view stored[] = {first.DCAC, first.Value, first.Unit, first.Auto};
            const std::string_view repeated[] = {again.DCAC, again.Value, again.Unit, again.Auto};
            for (std::size_t f = 0; f < 4; ++f) {
                ASSERT_EQ(stored[f], texts[f]) << "record " << i << ", text " << f;
                ASSERT_EQ(repeated[f], texts[f]) << "record " << i << ", text " << f;
                if (!texts[f].empty()) {
                    ASSERT_EQ(repeated[f].data(), stored[f].data()) << "record " << i << ", text " << f << " stored twice";
                }
            }
        }
    }
}

// Memory per record stays flat whatever the texts: 22 bytes and an index
// slot or so, plus the distinct texts themselves.
TEST(ReadingTableRecords, BytesPerRecordStayFlatWhenEveryValueDiffers)
{
    constexpr std::size_t count = 4 * 65'536; // whole chunks
    const struct {
        const char *what;
        std::string (*value)(std::size_t);
        double bytesPerRecord; // besides the distinct texts
    } cases[] = {
        {"every value differs", [](std::size_t i) { return std::to_string(i * 7919 % 1'000'003) + ".5"; }, 40},
        {"values repeat", [](std::size_t i) { return std::to_string(i % 500) + ".5"; }, 23},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ReadingTable table;
        std::set<std::string> distinct;
        std::size_t textBytes = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const std::string value = c.value(i);
            if (distinct.insert(value).second)
                textBytes += value.size();
            table.append(reading(static_cast<int>(i), value));
        }
        EXPECT_LE(static_cast<double>(table.bytesUsed() - textBytes) / count, c.bytesPerRecord);
    }
}

// Appending a table to one that has records takes the other's texts in as
// they are: every record reads back, later appends find texts of both, and a
// snapshot of the appended table keeps its rows through a clear.
TEST(ReadingTableRecords, AnAppendedTablesTextsReadBackBesideTheTablesOwn)
{
    const struct {
        std::size_t before, appended;
    } cases[] = {{3, 10}, {70'000, 70'000}, {100'000, 5}, {5, 100'000}};
    const auto value = [](std::size_t i, bool appended) { return (appended ? "b" : "a") + std::to_string(i); };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.before) + " + " + std::to_string(c.appended));
        ReadingTable table;
        for (std::size_t i = 0; i < c.before; ++i)
            table.append(reading(static_cast<int>(i), value(i, false)));
        ReadingTable rows;
        for (std::size_t i = 0; i < c.appended; ++i) {
            const std::string text = value(i, true), unit = std::to_string(i % 300); // the record views them
            ReadingRecord r = reading(static_cast<int>(i), text);
            r.Unit = unit;
            rows.append(r);
        }
        const ReadingTableSnapshot appended = rows.snapshot();
        table.append(std::move(rows));
        // Texts of both tables again, and new ones, past the index's growth.
        const std::size_t more = 2 * (c.before + c.appended) + 1000;
        for (std::size_t i = 0; i < more; ++i)
            table.append(reading(0, value(i / 2, i % 2 == 1)));
        ASSERT_EQ(table.size(), c.before + c.appended + more);
        for (std::size_t i = 0; i < table.size(); ++i) {
            const ReadingRecord r = table.at(i);
            if (i < c.before)
                ASSERT_EQ(r.Value, value(i, false)) << i;
            else if (i < c.before + c.appended)
                ASSERT_TRUE(r.Value == value(i - c.before, true) && r.Unit == std::to_string((i - c.before) % 300)) << i;
            else
                ASSERT_EQ(r.Value, value((i - c.before - c.appended) / 2, (i - c.before - c.appended) % 2 == 1)) << i;
        }
        table.clear();
        ASSERT_EQ(appended.size(), c.appended);
        EXPECT_EQ(appended.at(c.appended - 1).Value, value(c.appended - 1, true));
    }
}

// A snapshot reads its texts on another thread while the table stores new
// ones (new blocks, a growing index) and is then cleared.
TEST(ReadingTableSnapshots, ASnapshotReadsItsTextsWhileTheTableStoresNewOnes)
{
    ReadingTable table;
    for (int i = 0; i < 70'000; ++i)
        table.append(reading(i, std::to_string(i)));
    const ReadingTableSnapshot snapshot = table.snapshot();
    std::size_t wrong = 0;
    std::thread reader([&] {
        for (int pass = 0; pass < 3; ++pass)
            for (std::size_t i = 0; i < snapshot.size(); ++i)
                if (snapshot.at(i).Value != std::to_string(i) || snapshot.at(i).Unit != " V")
                    ++wrong;
    });
    for (int i = 0; i < 200'000; ++i) {
        const std::string text = "new " + std::to_string(i), unit = std::to_string(i % 1000); // the record views them
        ReadingRecord r = reading(i, text);
        r.Unit = unit;
        table.append(r);
    }
    table.clear();
    reader.join();
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(snapshot.at(69'999).Value, "69999");
}

} // namespace
} // namespace tolmar
