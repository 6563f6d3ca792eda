// `tolmar-cli report IN OUT.pdf` as a user runs it: the real binary, without
// a display, on tables written here; the PDF read back with poppler's
// pdfinfo and pdftotext.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <signal.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

namespace tolmar {
namespace {

// A child process that has ended: its exit status (-1: did not end normally) and output.
struct Finished {
    int status = -1;
    std::string out;
    std::string err;
};

// The environment of the CI: no display, no platform chosen. LC_ALL=C makes
// the long time format HH:mm:ss.
QProcessEnvironment headless()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    env.insert("LC_ALL", "C");
    return env;
}

Finished runProgram(const QString &program, const QStringList &args)
{
    QProcess process;
    process.setProcessEnvironment(headless());
    process.start(program, args);
    Finished r;
    if (!process.waitForStarted(10'000)) {
        r.err = "could not start " + program.toStdString() + ": " + process.errorString().toStdString();
        return r;
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(120'000)) {
        process.kill();
        process.waitForFinished();
        r.err = program.toStdString() + " did not finish";
        return r;
    }
    r.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = process.readAllStandardOutput().toStdString();
    r.err = process.readAllStandardError().toStdString();
    return r;
}

Finished cli(const QStringList &args)
{
    return runProgram(QStringLiteral(TOLMAR_CLI_BINARY), args);
}

QString poppler(const char *tool)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(tool));
}

// A table in the exported text format: records No 1..count, one a second
// from 08:00:00 (round the clock past midnight), DC kilohms ("*" is the LCD font's ohm sign), each value
// telling its record.
std::string exportedTable(int count)
{
    std::string text = "No\tTime\tFunc\tValue\tUnit\tJudge\r\n";
    char line[96];
    for (int no = 1; no <= count; ++no) {
        const int t = (8 * 3600 + no) % 86'400;
        std::snprintf(line, sizeof line, "%d\t%02d:%02d:%02d\tDC\t%d.%03d\tk*\tPass\r\n", no, t / 3600, t / 60 % 60,
                      t % 60, no / 1000, no % 1000);
        text += line;
    }
    return text;
}

void writeFile(const QString &path, const std::string &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes.data(), static_cast<qint64>(bytes.size())), static_cast<qint64>(bytes.size()));
}

std::string readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        pieces.push_back(text.substr(start, at - start));
    pieces.push_back(text.substr(start));
    return pieces;
}

class ReportCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_pdfinfo = poppler("pdfinfo");
        m_pdftotext = poppler("pdftotext");
        ASSERT_FALSE(m_pdfinfo.isEmpty() || m_pdftotext.isEmpty())
            << "pdfinfo and pdftotext are needed to read the report back: install poppler-utils "
               "(scripts/install-deps.sh does)";
    }

    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    // Every name in the folder, hidden ones too (a temporary file may be).
    QStringList names() const
    {
        return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    int pdfPages(const QString &pdf)
    {
        const Finished info = runProgram(m_pdfinfo, {pdf});
        EXPECT_EQ(info.status, 0) << info.err;
        std::smatch m;
        static const std::regex pages("\nPages: +([0-9]+)\n");
        if (!std::regex_search(info.out, m, pages))
            return -1;
        return std::stoi(m[1]);
    }

    std::string pdfPageSize(const QString &pdf)
    {
        const Finished info = runProgram(m_pdfinfo, {pdf});
        std::smatch m;
        static const std::regex size("\nPage size: +([^\n]*)\n");
        return std::regex_search(info.out, m, size) ? std::string(m[1]) : std::string();
    }

    // The text of each page, in its layout: a detail line is one line.
    std::vector<std::string> pageTexts(const QString &pdf)
    {
        const Finished text = runProgram(m_pdftotext, {"-layout", "-enc", "UTF-8", pdf, "-"});
        EXPECT_EQ(text.status, 0) << text.err;
        std::vector<std::string> pages = split(text.out, '\f');
        if (!pages.empty() && pages.back().find_first_not_of(" \n") == std::string::npos)
            pages.pop_back(); // after the last form feed
        return pages;
    }

    QTemporaryDir m_dir;
    QString m_pdfinfo;
    QString m_pdftotext;
};

// A detail line as pdftotext lays it out: No, time, function, value, unit, judge.
struct DetailLine {
    int no;
    std::string time;
    std::string value;
    std::string unit;
};

std::vector<DetailLine> detailLines(const std::string &page)
{
    static const std::regex line(R"(^ *([0-9]+) +([0-9]{2}:[0-9]{2}:[0-9]{2}) +DC +([0-9]+\.[0-9]{3}) +(\S+) +Pass *$)");
    std::vector<DetailLine> lines;
    for (const std::string &text : split(page, '\n')) {
        std::smatch m;
        if (std::regex_match(text, m, line))
            lines.push_back({std::stoi(m[1]), m[2], m[3], m[4]});
    }
    return lines;
}

TEST_F(ReportCli, PagesHoldTheirHeadersFooterAndRecordsInOrder)
{
    const struct {
        int records;
        int pages;
    } cases[] = {{1, 1}, {37, 1}, {38, 2}, {1000, 28}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.records << " records");
        const QString in = path("table.txt");
        const QString out = path("report.pdf");
        QFile::remove(out);
        writeFile(in, exportedTable(c.records));
        const Finished r = cli({"report", in, out});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "") << "a quiet run, Qt's own notes included";
        EXPECT_EQ(names(), (QStringList{"report.pdf", "table.txt"})) << "a temporary file was left behind";

        EXPECT_EQ(pdfPages(out), c.pages);
        // A4 is 595.28 x 841.89 points; the writer gives whole points.
        EXPECT_EQ(pdfPageSize(out), "595 x 842 pts (A4)");
        const std::vector<std::string> pages = pageTexts(out);
        ASSERT_EQ(pages.size(), static_cast<std::size_t>(c.pages));
        int next = 1;
        for (std::size_t p = 0; p < pages.size(); ++p) {
            SCOPED_TRACE(testing::Message() << "page " << p + 1);
            const std::string &page = pages[p];
            for (const char *text : {"The Data Print Title", "No.", "Time", "Function", "Value", "Unit", "Judge",
                                     "The Data Print Foot"})
                EXPECT_NE(page.find(text), std::string::npos) << text << " missing in:\n" << page;
            // Title first, footer last.
            EXPECT_LT(page.find("The Data Print Title"), page.find("Function"));
            const std::vector<DetailLine> lines = detailLines(page);
            ASSERT_EQ(lines.size(), std::min<std::size_t>(37, static_cast<std::size_t>(c.records - next + 1)))
                << page;
            for (const DetailLine &line : lines) {
                EXPECT_EQ(line.no, next);
                const int t = 8 * 3600 + next;
                char time[16], value[16];
                std::snprintf(time, sizeof time, "%02d:%02d:%02d", t / 3600, t / 60 % 60, t % 60);
                std::snprintf(value, sizeof value, "%d.%03d", next / 1000, next % 1000);
                EXPECT_EQ(line.time, time);
                EXPECT_EQ(line.value, value);
                EXPECT_EQ(line.unit, "k\u03A9") << "the LCD font's \"*\" prints as the ohm sign";
                ++next;
            }
            if (!lines.empty()) {
                EXPECT_LT(page.find(std::to_string(lines.back().no)), page.rfind("The Data Print Foot"));
            }
        }
        EXPECT_EQ(next, c.records + 1) << "every record once";
    }
}

TEST_F(ReportCli, SymbolsOfTheLcdFont)
{
    const QString in = path("units.txt");
    const QString out = path("units.pdf");
    writeFile(in, "No\tTime\tFunc\tValue\tUnit\tJudge\r\n"
                  "1\t10:00:00\tOHM\t1.234\t*\tPass\r\n"
                  "2\t10:00:01\tOHM\t4.567\tM*\tFail\r\n"
                  "3\t10:00:02\tDC\t12.34\t+A\tPass\r\n");
    const Finished r = cli({"report", in, out});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> pages = pageTexts(out);
    ASSERT_EQ(pages.size(), 1u);
    const std::vector<std::string> lines = split(pages[0], '\n');
    const struct {
        const char *start;
        const char *unit;
    } cases[] = {{"1", "\u03A9"}, {"2", "M\u03A9"}, {"3", "\u00B5A"}};
    for (const auto &c : cases) {
        const std::regex line(std::string(R"(^ *)") + c.start + R"( +10:00:0[0-9] +\S+ +[0-9.]+ +(\S+) +\S+ *$)");
        std::smatch m;
        bool found = false;
        for (const std::string &text : lines)
            if (std::regex_match(text, m, line)) {
                found = true;
                EXPECT_EQ(m[1], c.unit) << text;
            }
        EXPECT_TRUE(found) << "record " << c.start << " in:\n" << pages[0];
    }
    EXPECT_EQ(pages[0].find('*'), std::string::npos) << "no raw \"*\" left:\n" << pages[0];
}

TEST_F(ReportCli, FailuresLeaveNoOut)
{
    writeFile(path("empty.txt"), "No\tTime\tFunc\tValue\tUnit\tJudge\r\n");
    writeFile(path("bad-time.txt"), "No\tTime\tFunc\tValue\tUnit\tJudge\r\n1\t10:00:00\tDC\r\n3\tNULL\tNULL\r\n");
    writeFile(path("cut.xml"), "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA>");
    writeFile(path("table.txt"), exportedTable(3));
    writeFile(path("kept.pdf"), "the previous file");
    const struct {
        const char *name;
        QStringList args;
        int status;
        std::string message; // in standard error
    } cases[] = {
        {"IN missing", {"report", path("missing.txt"), path("out.pdf")}, 1, "Failed to Load File!"},
        {"a line that does not convert", {"report", path("bad-time.txt"), path("out.pdf")}, 1,
         "Failed to Load File!"},
        {"a packet cut short", {"report", path("cut.xml"), path("out.pdf")}, 1, "Failed to Load File!"},
        {"refused IN, OUT there before", {"report", path("bad-time.txt"), path("kept.pdf")}, 1,
         "Failed to Load File!"},
        {"no records: no pages", {"report", path("empty.txt"), path("out.pdf")}, 1, "has no pages"},
        {"no records, OUT there before", {"report", path("empty.txt"), path("kept.pdf")}, 1, "has no pages"},
        {"OUT in a missing folder", {"report", path("table.txt"), path("no/such/folder/out.pdf")}, 1,
         "Cannot create file"},
        {"OUT a folder", {"report", path("table.txt"), m_dir.path()}, 1, "Cannot create file"},
        {"OUT missing", {"report", path("table.txt")}, 2, "report takes IN and OUT"},
        {"an unknown option", {"report", "--pages", path("table.txt"), path("out.pdf")}, 2, "unknown option"},
    };
    const QStringList before = names();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Finished r = cli(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(names(), before) << "OUT created, or a temporary file left behind";
        EXPECT_EQ(readFile(path("kept.pdf")), "the previous file");
    }
}

TEST_F(ReportCli, ReplacesAnOldOutWhole)
{
    const QString in = path("table.txt");
    const QString out = path("report.pdf");
    writeFile(in, exportedTable(40));
    writeFile(out, std::string(2'000'000, 'x')); // larger than the report: no tail may stay
    const Finished r = cli({"report", in, out});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string pdf = readFile(out);
    EXPECT_EQ(pdf.rfind("%PDF-", 0), 0u);
    EXPECT_EQ(pdf.find("xxxx"), std::string::npos);
    EXPECT_EQ(pdfPages(out), 2);
}

TEST_F(ReportCli, InterruptedLeavesNoOut)
{
    const QString in = path("big.txt");
    const QString out = path("big.pdf");
    writeFile(in, exportedTable(100'000)); // 2,703 pages: seconds of work
    const QStringList before = names();
    QProcess process;
    process.setProcessEnvironment(headless());
    process.start(QStringLiteral(TOLMAR_CLI_BINARY), {"report", in, out});
    ASSERT_TRUE(process.waitForStarted(10'000));
    // The pages are being written once the file that becomes OUT is there.
    QElapsedTimer waited;
    waited.start();
    // (waitForFinished keeps the process's state up to date meanwhile.)
    while (names().size() == before.size() && !process.waitForFinished(10) && waited.elapsed() < 30'000) {
    }
    process.waitForFinished(200);
    const qint64 pid = process.processId();
    ASSERT_TRUE(process.state() == QProcess::Running && pid > 0)
        << "done before it could be interrupted: " << process.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(pid), SIGINT);
    ASSERT_TRUE(process.waitForFinished(30'000));
    const std::string err = process.readAllStandardError().toStdString();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "Ctrl-C ends the command, not the process";
    EXPECT_EQ(process.exitCode(), 1) << err;
    EXPECT_NE(err.find("cancelled"), std::string::npos) << err;
    EXPECT_EQ(names(), before) << "a PDF cut short was left behind";
}

TEST_F(ReportCli, ListedInTheHelp)
{
    const Finished r = cli({"help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("report IN OUT"), std::string::npos) << r.out;
}

} // namespace
} // namespace tolmar
