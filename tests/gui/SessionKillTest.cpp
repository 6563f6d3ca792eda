// The real program on the simulated meter, killed with SIGKILL while it
// records, and started again: the records come back and numbering goes on.
// Offscreen, so the restart takes the records back with --restore instead of
// a click on the question's Yes (the question itself is tested on the core).
#include "files/ByteStreams.h"
#include "files/Journal.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace tolmar {
namespace {

struct Journal {
    QString path;
    JournalContents contents;
};

// The session journals in the folder, read as a restart would read them.
std::vector<Journal> journals(const QString &folder)
{
    std::vector<Journal> found;
    for (const QString &name : QDir(folder).entryList({"session-*.journal"}, QDir::Files)) {
        const QString path = folder + "/" + name;
        FileSource source(path.toStdString());
        found.push_back({path, readJournal(source)});
    }
    return found;
}

// Waits until the folder's one journal holds `rows` records; false after 60 s.
bool waitForRows(const QString &folder, std::size_t rows)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 60'000) {
        const auto found = journals(folder);
        if (found.size() == 1 && found[0].contents.rows.size() >= rows)
            return true;
        QThread::msleep(100);
    }
    return false;
}

class Program {
public:
    Program(const QTemporaryDir &state, const QStringList &args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_STATE_HOME", state.path());
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(TOLMAR_GUI_BINARY, QStringList{"--simulate", "--connect"} + args);
    }
    ~Program() { kill(); }
    bool started() { return m_process.waitForStarted(10'000); }
    void kill()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill(); // SIGKILL: nothing of the program runs after it
        m_process.waitForFinished(10'000);
    }

private:
    QProcess m_process;
};

TEST(SessionKill, RecordsComeBackAfterSigkillAndNumberingGoesOn)
{
    QTemporaryDir state;
    ASSERT_TRUE(state.isValid());
    const QString folder = state.path() + "/tolmar";

    std::vector<std::string> before;
    {
        Program first(state, {});
        ASSERT_TRUE(first.started());
        ASSERT_TRUE(waitForRows(folder, 3)) << "the first run journals its records";
        first.kill();
        const auto found = journals(folder);
        ASSERT_EQ(found.size(), 1u);
        ASSERT_EQ(found[0].contents.status, JournalContents::Status::Restorable);
        for (std::size_t i = 0; i < found[0].contents.rows.size(); ++i)
            before.push_back(std::string(found[0].contents.rows.at(i).Value));
    }
    const std::size_t killed = before.size();

    Program second(state, {"--restore"});
    ASSERT_TRUE(second.started());
    ASSERT_TRUE(waitForRows(folder, killed + 2)) << "the second run goes on in the restored journal";
    second.kill();
    const auto found = journals(folder);
    ASSERT_EQ(found.size(), 1u);
    const ReadingTable &rows = found[0].contents.rows;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows.at(i).No, static_cast<std::int32_t>(i)) << "numbered on without a gap";
        if (i < killed) {
            EXPECT_EQ(rows.at(i).Value, before[i]) << i;
        }
        EXPECT_TRUE(rows.dateOf(i).has_value()) << i;
    }
    EXPECT_TRUE(QDir(folder).entryList({"kept-*"}).isEmpty());
}

} // namespace
} // namespace tolmar
