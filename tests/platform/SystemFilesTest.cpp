#include "TempFolder.h"
#include "platform/System.h"
#include "platform/SystemFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace tolmar {
namespace {

// A scratch folder of its own for each test, removed after it.
class SystemFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = filePath(test::makeTempFolder("tolmar-system-files-"));
        ASSERT_FALSE(m_dir.empty());
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    std::string file(const std::string &utf8Name) const { return pathText(m_dir) + "/" + utf8Name; }

    static void put(const std::string &path, const std::string &bytes)
    {
        SystemFile out = SystemFile::open(path, SystemFile::Write | SystemFile::Create | SystemFile::Truncate);
        ASSERT_TRUE(out.isOpen()) << path << ": " << out.error().message();
        ASSERT_TRUE(out.writeAll(bytes.data(), bytes.size()));
        ASSERT_TRUE(out.close());
    }
    static std::string contents(const std::string &path)
    {
        SystemFile in = SystemFile::open(path, SystemFile::Read);
        if (!in.isOpen())
            return "<" + in.error().message() + ">";
        std::string bytes;
        char buffer[7]; // small: reads that end mid-file
        for (std::ptrdiff_t n; (n = in.read(buffer, sizeof buffer)) > 0;)
            bytes.append(buffer, static_cast<std::size_t>(n));
        return bytes;
    }

    std::filesystem::path m_dir;
};

// Failures read as the C library tells them on every system: the messages
// the program shows quote them.
TEST_F(SystemFilesTest, OpeningFailsWithTheCLibrarysErrors)
{
    put(file("there.txt"), "x");
    std::filesystem::create_directory(m_dir / "folder");
    const struct {
        std::string name;
        unsigned flags;
        std::errc expected;
    } cases[] = {
        {"missing.txt", SystemFile::Read, std::errc::no_such_file_or_directory},
        {"none/new.txt", SystemFile::Write | SystemFile::Create, std::errc::no_such_file_or_directory},
        {"there.txt", SystemFile::Write | SystemFile::Create | SystemFile::Exclusive, std::errc::file_exists},
        {"folder", SystemFile::Write | SystemFile::Create | SystemFile::Truncate, std::errc::is_a_directory},
    };
    for (const auto &c : cases) {
        const SystemFile opened = SystemFile::open(file(c.name), c.flags);
        EXPECT_FALSE(opened.isOpen()) << c.name;
        EXPECT_EQ(opened.error(), std::make_error_code(c.expected)) << c.name << ": " << opened.error().message();
    }
}

TEST_F(SystemFilesTest, RenameWithoutReplacingLeavesATakenNameAlone)
{
    const struct {
        bool taken;
        std::error_code expected;
        std::string source, target; // afterwards; "<...>" for a missing file
    } cases[] = {
        {false, {}, "<No such file or directory>", "new"},
        {true, std::make_error_code(std::errc::file_exists), "new", "old"},
    };
    for (const auto &c : cases) {
        put(file("from"), "new");
        if (c.taken)
            put(file("to"), "old");
        else
            removeFile(file("to"));
        EXPECT_EQ(renameWithoutReplacing(file("from"), file("to")), c.expected) << c.taken;
        EXPECT_EQ(contents(file("from")), c.source) << c.taken;
        EXPECT_EQ(contents(file("to")), c.target) << c.taken;
    }
    // replaceFile takes the place of what is there.
    put(file("from"), "newer");
    EXPECT_FALSE(replaceFile(file("from"), file("to")));
    EXPECT_EQ(contents(file("to")), "newer");
    EXPECT_FALSE(nameIsFree(file("to")));
    EXPECT_TRUE(nameIsFree(file("from")));
}

// Two open files of one name, as two processes hold them (flock and
// Windows locks both belong to the open file).
TEST_F(SystemFilesTest, LocksExcludeOtherOpenFilesUntilClosed)
{
    using Lock = SystemFile::Lock;
    const struct {
        Lock first, second;
        bool granted;
    } cases[] = {
        {Lock::Exclusive, Lock::Exclusive, false},
        {Lock::Exclusive, Lock::Shared, false},
        {Lock::Shared, Lock::Exclusive, false},
        {Lock::Shared, Lock::Shared, true},
    };
    const std::string name = file("cable.lock");
    for (const auto &c : cases) {
        SystemFile holder = SystemFile::open(name, SystemFile::Read | SystemFile::Write | SystemFile::Create);
        SystemFile other = SystemFile::open(name, SystemFile::Read | SystemFile::Write);
        ASSERT_TRUE(holder.isOpen() && other.isOpen());
        ASSERT_TRUE(holder.tryLock(c.first));
        EXPECT_EQ(other.tryLock(c.second), c.granted);
        if (!c.granted) {
            EXPECT_EQ(other.error(), std::errc::operation_would_block) << other.error().message();
            holder.close(); // the lock goes with the file
            EXPECT_TRUE(other.tryLock(c.second));
        }
    }
}

// A locked journal is still read through another open file (restoring one)
// and written at its end after it was emptied.
TEST_F(SystemFilesTest, ALockedAppendedFileIsReadAndEmptiedAsUsual)
{
    const std::string name = file("session.journal");
    SystemFile journal = SystemFile::open(
        name, SystemFile::Write | SystemFile::Create | SystemFile::Exclusive | SystemFile::Append | SystemFile::Private);
    ASSERT_TRUE(journal.isOpen()) << journal.error().message();
    ASSERT_TRUE(journal.tryLock(SystemFile::Lock::Exclusive));
    ASSERT_TRUE(journal.writeAll("first\n", 6));
    ASSERT_TRUE(journal.syncData());
    EXPECT_EQ(contents(name), "first\n");
    ASSERT_TRUE(journal.truncate(0));
    ASSERT_TRUE(journal.writeAll("two", 3));
    ASSERT_TRUE(journal.truncate(2));
    ASSERT_TRUE(journal.writeAll("!", 1));
    EXPECT_EQ(contents(name), "tw!");
    std::error_code error;
    const auto named = fileStatus(name, error);
    const auto opened = journal.status();
    ASSERT_TRUE(named && opened) << error.message();
    EXPECT_EQ(named->identity, opened->identity);
    EXPECT_EQ(named->kind, FileStatus::Kind::Regular);
    EXPECT_EQ(named->size, 3u);
    // Removed while open and locked, as a journal is when its session ends.
    EXPECT_FALSE(removeFile(name));
    EXPECT_TRUE(journal.close());
    EXPECT_TRUE(nameIsFree(name));
}

// Names are UTF-8 in the program and reach the system whole, whatever it
// takes them in.
TEST_F(SystemFilesTest, NamesOutsideAsciiRoundTrip)
{
    const std::vector<std::string> names = {
        "Me\xC3\x9F" "werte \xE2\x80\x93 \xC2\xB5" "A.txt", // Meßwerte – µA
        "\xE6\xB8\xAC\xE5\xAE\x9A.csv",                    // CJK
        "\xCE\xA9 \xF0\x9F\x93\x88.xml",                   // Ω and a character beyond the BMP
    };
    for (const std::string &name : names) {
        put(file(name), name);
        EXPECT_EQ(contents(file(name)), name);
        std::vector<std::string> listed;
        for (const auto &entry : std::filesystem::directory_iterator(m_dir))
            listed.push_back(pathText(entry.path().filename()));
        EXPECT_EQ(listed, std::vector<std::string>{name});

        SystemFile temporary = SystemFile::createBeside(file(name));
        ASSERT_TRUE(temporary.isOpen()) << temporary.error().message();
        ASSERT_TRUE(temporary.writeAll("replaced", 8));
        ASSERT_TRUE(temporary.sync());
        ASSERT_TRUE(temporary.close());
        EXPECT_FALSE(replaceFile(temporary.path(), file(name)));
        EXPECT_EQ(contents(file(name)), "replaced");

        const std::string kept = "kept-" + name;
        EXPECT_FALSE(renameWithoutReplacing(file(name), file(kept)));
        EXPECT_TRUE(std::filesystem::exists(m_dir / filePath(kept)));
        EXPECT_FALSE(removeFile(file(kept)));
        EXPECT_TRUE(std::filesystem::is_empty(m_dir));
    }
    std::string error;
    const std::string folder = file("\xC3\xA9t\xC3\xA9/sub"); // été/sub
    EXPECT_TRUE(makeUserFolder(folder, error)) << error;
    EXPECT_TRUE(std::filesystem::is_directory(filePath(folder)));
}

TEST(Wakeup, ASignalEndsOneWaitOnly)
{
    Wakeup wakeup;
    ASSERT_TRUE(wakeup.ok());
    std::vector<bool> ready;
    using namespace std::chrono;
    wakeup.signal();
    wakeup.signal();
    auto start = steady_clock::now();
    ASSERT_TRUE(wakeup.wait({}, ready, 10'000));
    EXPECT_LT(steady_clock::now() - start, seconds(5));
    start = steady_clock::now();
    ASSERT_TRUE(wakeup.wait({}, ready, 30));
    EXPECT_GE(steady_clock::now() - start, milliseconds(25)); // both signals were taken back
    wakeup.signal();
    wakeup.clear();
    start = steady_clock::now();
    ASSERT_TRUE(wakeup.wait({}, ready, 30));
    EXPECT_GE(steady_clock::now() - start, milliseconds(25));
}

} // namespace
} // namespace tolmar
