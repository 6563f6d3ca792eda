#include "cli/Commands.h"
#include "cli/HeadlessForm.h"
#include "cli/Interrupt.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "cli/RecordJson.h"
#include "cli/RecordingOptions.h"
#include "cli/StreamPrompts.h"
#include "cli/TableOutput.h"
#include "cli/ReadingJson.h"
#include "meter/FrameDecoder.h"
#include "platform/NoHidPlatform.h"
#include "platform/passive/PassiveBridgePlatform.h"
#include "platform/NumberText.h"
#include "platform/Prompts.h"
#include "platform/System.h"
#include "platform/SystemFiles.h"
#include "platform/SystemLocale.h"
#include "platform/TextEncoding.h"
#include "platform/UiDispatcher.h"
#include "platform/virtual/VirtualTime.h"


#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <ostream>
#include <string_view>
#include <vector>

namespace tolmar::cli {

namespace {
const char *const replayDescription =
    "      Replay a capture of a meter session: one input report per line in the\n"
    "      form of the program's link log, \"R \" + report ID + two spaces + each\n"
    "      data byte as two hex digits and a space (for example\n"
    "      \"R 00  07 5A 00 03 05 05 59 80 \"), from FILE or standard input. The\n"
    "      reports run through the program's frame assembly and decode; each\n"
    "      decoded frame prints one JSON line with the keys of decode, or\n"
    "      {\"error\": \"...\"} for a frame that does not decode. A line that is\n"
    "      not a report is reported with its line number on standard error\n"
    "      (control bytes escaped, cut after 80 characters). Exit status 2 if\n"
    "      a line was not a report, else 1 if a frame failed or the input\n"
    "      could not be read. \"--\" ends the options.\n";
const char *const replayRecordDescription =
    "      Records the capture as the window would, on virtual time: a passive\n"
    "      \"USB to Serial\" bridge is connected first, report line k (from 0) is\n"
    "      handled at the start time (default 00:00:00.000) + k ms after every\n"
    "      window timer due by then, and the session is disconnected at the end\n"
    "      of the input or at Ctrl-C. Prints the appended records instead of the\n"
    "      readings; frames that do not decode are told on standard error.\n"
    "      --out TABLE also writes the recorded table to TABLE as the save button\n"
    "      does: a packet for a name ending in \".xml\", written when the replay\n"
    "      ends; else exported text, or comma-separated values for a name ending\n"
    "      in \".csv\" (times of day only: a replay has no date), a line per\n"
    "      record as it is recorded.\n";

std::optional<int> byteToken(std::string_view line, std::size_t at)
{
    return hexByte(line.substr(at, 2));
}

struct Report {
    std::uint8_t id = 0;
    std::vector<std::uint8_t> data;
};

// "R " + ID + spaces + "XX " per byte; blanks between tokens may vary and
// the trailing blank may be missing. Anything else is not a report.
std::optional<Report> parseReport(std::string_view line)
{
    if (line.size() < 4 || line[0] != 'R' || line[1] != ' ')
        return std::nullopt;
    Report report;
    std::size_t at = 2;
    const auto id = byteToken(line, at);
    if (!id)
        return std::nullopt;
    report.id = static_cast<std::uint8_t>(*id);
    at += 2;
    for (;;) {
        const std::size_t blanks = at;
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
            ++at;
        if (at == line.size())
            return report;
        if (at == blanks)
            return std::nullopt; // two tokens run together
        const auto byte = byteToken(line, at);
        if (!byte)
            return std::nullopt;
        report.data.push_back(static_cast<std::uint8_t>(*byte));
        at += 2;
    }
}
// The lines of a capture, read from its file descriptor rather than a
// stream: a stream takes a read error (a directory, /proc/self/mem) for the
// end of the input. A line is kept whole up to maxLine bytes; of a longer one
// only the start is kept and its length counted, so a line of 64 MB costs no
// more memory than one of maxLine.
class CaptureLines {
public:
    // Far beyond the longest report a HID device sends in link log form
    // (three characters a byte), however wide the blanks between them.
    static constexpr std::size_t maxLine = 1 << 20;

    // Reads `file` (closed with this object unless it is standard input);
    // `name` is the file's in messages.
    CaptureLines(SystemFile file, std::string name) : m_file(std::move(file)), m_name(std::move(name)) {}
    CaptureLines(const CaptureLines &) = delete;
    CaptureLines &operator=(const CaptureLines &) = delete;

    // The next line without its "\n", and the whole line's length in bytes
    // (more than line.size() for a line cut at maxLine). False at the end of
    // the input, at Ctrl-C while a guard lives, and at a read error (error()).
    bool next(std::string &line, std::uint64_t &length);
    const std::string &error() const { return m_error; }
    const std::string &name() const { return m_name; }

private:
    SystemFile m_file;
    std::string m_name;
    std::vector<char> m_buffer = std::vector<char>(64 * 1024);
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    bool m_atEnd = false;
    std::string m_error;
};

bool CaptureLines::next(std::string &line, std::uint64_t &length)
{
    line.clear();
    length = 0;
    bool started = false;
    for (;;) {
        if (m_begin < m_end) {
            const char *begin = m_buffer.data() + m_begin;
            const auto *newline = static_cast<const char *>(std::memchr(begin, '\n', m_end - m_begin));
            const std::size_t size = newline ? static_cast<std::size_t>(newline - begin) : m_end - m_begin;
            if (line.size() < maxLine)
                line.append(begin, std::min(size, maxLine - line.size()));
            length += size;
            m_begin += size;
            started = true;
            if (newline) {
                ++m_begin;
                return true;
            }
        }
        if (m_atEnd)
            return started; // a last line without its "\n"
        const std::ptrdiff_t got = m_file.read(m_buffer.data(), m_buffer.size());
        if (got > 0) {
            m_begin = 0;
            m_end = static_cast<std::size_t>(got);
        } else if (got == 0) {
            m_atEnd = true;
        } else if (m_file.error() != std::errc::interrupted) {
            m_error = m_file.error().message();
            return false;
        } else if (InterruptGuard::interrupted()) {
            return false; // Ctrl-C ends the replay as the end of the input does
        }
    }
}

// A rejected line as standard error shows it: escaped as every message
// that quotes bytes is ("\x1b", "\xb5", "\\"), so a capture cannot drive
// the terminal, and cut after 80 characters with "..." and the line's length
// in bytes.
std::string shownLine(std::string_view line, std::uint64_t length)
{
    constexpr std::size_t maxCharacters = 80;
    std::string shown;
    const std::size_t at = appendEscaped(shown, line, maxCharacters);
    if (at < line.size() || length > line.size())
        shown += "... (" + std::to_string(length) + " bytes)";
    return shown;
}

// The lines of a capture, each handed to the form as a report; a line that
// is no report is named on the error stream. Returns 2 if there was one,
// else 1 if the input could not be read to its end.
// beforeLine(k) runs before line k (from 0) and false from it ends the feed.
template <typename BeforeLine>
int feedReports(CaptureLines &in, MainForm &form, std::ostream &err, BeforeLine beforeLine)
{
    int status = 0;
    std::string line;
    std::uint64_t length = 0;
    for (long number = 1; in.next(line, length); ++number) {
        if (!beforeLine(number - 1))
            return status;
        if (length == line.size() && !line.empty() && line.back() == '\r') {
            line.pop_back(); // a CR LF line end
            --length;
        }
        if (length > CaptureLines::maxLine) {
            err << "tolmar-cli: replay: line " << number << " is too long to be a report: "
                << shownLine(line, length) << "\n";
            status = 2;
            continue;
        }
        const auto report = parseReport(line);
        if (!report) {
            err << "tolmar-cli: replay: line " << number << " is not a report: " << shownLine(line, length)
                << "\n";
            status = 2;
            continue;
        }
        form.HidCtlDeviceData(report->id, report->data.data(), report->data.size());
    }
    if (!in.error().empty()) {
        err << "tolmar-cli: replay: " << in.name() << ": " << in.error() << "\n";
        status = std::max(status, 1);
    }
    return status;
}

int replayReadings(CaptureLines &in, const std::optional<std::string> &separator, std::ostream &out,
                   std::ostream &err)
{
    VirtualTime time; // a capture replays at once: time stands still
    HeadlessPrompts prompts; // the no-cable box of every frame's request, counted only
    NoHidPlatform noHid;
    InlineUiDispatcher dispatcher;
    HeadlessForm headless(separator, {time, time, prompts, noHid, dispatcher});
    int status = 0;
    headless.form().setFrameObserver([&](const MeterReading &reading, const std::optional<DecodeError> &error,
                                         bool longFrame) {
        if (error) {
            out << decodeErrorJson(*error) << "\n";
            status = std::max(status, 1);
        } else {
            out << readingJson(reading, longFrame) << "\n";
        }
    });
    return std::max(status, feedReports(in, headless.form(), err, [](long) { return true; }));
}

// A connected session on virtual time: report line k is handled at start +
// k ms, the bridge's report period, after every timer due by then.
int replayRecording(CaptureLines &in, const std::optional<std::string> &separator, const RecordingOptions &options,
                    const LocalDateTime &start, const std::optional<std::string> &outPath, std::ostream &out,
                    std::ostream &err)
{
    const std::unique_ptr<Locale> systemLocale = makeSystemLocale();
    Locale &locale = *systemLocale;
    std::optional<TableOutput> table;
    if (outPath) {
        table.emplace(*outPath, locale, "replay");
        if (!table->open()) {
            err << table->error() << "\n";
            return 1;
        }
    }

    VirtualTime time(start);
    StreamPrompts prompts(err, "replay");
    PassiveBridgePlatform bridge;
    InlineUiDispatcher dispatcher;
    HeadlessForm headless(separator, {time, time, prompts, bridge, dispatcher});
    MainForm &form = headless.form();
    int status = 0;
    form.setFrameObserver([&](const MeterReading &, const std::optional<DecodeError> &error, bool) {
        if (error) {
            // The reason quotes bytes of the capture: escaped, like its lines.
            err << "tolmar-cli: replay: frame not decoded: " << escapedText(error->what, error->what.size()) << "\n";
            status = std::max(status, 1);
        }
    });
    bool tableFailed = false;
    form.recording.onRecordAppended = [&](std::size_t index) {
        const ReadingRecord record = form.cds1.at(index);
        out << recordJson(record) << "\n";
        if (table && !tableFailed && !table->recordAppended(record)) {
            err << table->error() << "\n";
            tableFailed = true;
        }
    };
    options.apply(form.recording);

    form.USBConClick(true); // as a click on "USB Connection"
    if (!form.link().USBConDown) {
        err << "tolmar-cli: replay: the passive bridge did not connect\n";
        return 1;
    }
    // Ctrl-C ends the replay as the end of the input does, so a capture
    // piped from a live source still leaves its packet.
    InterruptGuard guard;
    status = std::max(status, feedReports(in, form, err, [&](long k) {
        if (InterruptGuard::interrupted())
            return false;
        time.advance(k - time.elapsedMs());
        return true;
    }));
    // As a click on the toggle: a pending sampling tick does not fire.
    if (form.link().USBConDown)
        form.USBConClick(false);
    if (table && !tableFailed && !table->finish(form.cds1.snapshot())) {
        err << table->error() << "\n";
        tableFailed = true;
    }
    return tableFailed ? std::max(status, 1) : status;
}

} // namespace

namespace {
// True when the capture (a name, or standard input for none) and `out` are
// one existing file: writing the table would destroy the capture.
bool isCapture(const std::optional<std::string> &capture, const std::string &out)
{
    std::error_code ignored;
    const bool named = capture && *capture != "-";
    const auto in = named ? fileStatus(*capture, ignored) : SystemFile::standardInput().status();
    const auto table = fileStatus(out, ignored);
    return in && table && in->identity == table->identity;
}

// "HH:MM:SS.mmm" (the milliseconds may be left out).
std::optional<LocalDateTime> parseStartTime(const std::string &text)
{
    int hour = 0, minute = 0, second = 0, ms = 0;
    char tail = 0;
    const int fields = std::sscanf(text.c_str(), "%2d:%2d:%2d.%3d%c", &hour, &minute, &second, &ms, &tail);
    if ((fields != 3 && fields != 4) || text.size() < 8 || hour > 23 || minute > 59 || second > 59 || hour < 0
        || minute < 0 || second < 0 || ms < 0)
        return std::nullopt;
    if (fields == 3 && text.size() != 8)
        return std::nullopt;
    if (fields == 4 && text.size() != 12)
        return std::nullopt;
    return LocalDateTime{2024, 3, 5, hour, minute, second, ms, 2};
}

// The command line of replay: the readings, or with --record the records.
struct ReplayLine {
    std::optional<std::string> separator;
    Args paths;
    bool record = false;
    RecordingOptions options;
    LocalDateTime start{2024, 3, 5, 0, 0, 0, 0, 2};
    std::optional<std::string> outPath;
    OptionTable table{"replay", "replay: unknown or incomplete option "};

    ReplayLine()
    {
        table.describe(replayDescription);
        table.mode("--record", record, replayRecordDescription, "replay: the recording options need --record");
        options.declare(table);
        const std::string startError = "replay: --start takes a time of day HH:MM:SS.mmm";
        table.value({.name = "--start",
                     .valueName = "HH:MM:SS.mmm",
                     .take = [this, startError](const std::string &text) {
                         const auto time = parseStartTime(text);
                         if (!time)
                             throw UsageError{startError};
                         start = *time;
                     },
                     .missing = startError});
        addOutOption(table, outPath);
        table.endMode();
        addDecimalSeparator(table, separator);
        table.arguments("[FILE|-]", paths);
    }
};
} // namespace

std::string replayHelp()
{
    return ReplayLine().table.help();
}

int replayCommand(const Args &args, std::ostream &out, std::ostream &err)
{
    ReplayLine line;
    if (const int status = line.table.parse(args, err))
        return status;
    if (line.paths.size() > 1)
        return usageError(err, "replay takes one FILE");
    const std::optional<std::string> path =
        line.paths.empty() ? std::nullopt : std::optional<std::string>(line.paths.front());
    const std::optional<std::string> &outPath = line.outPath;

    const bool fromStandardInput = !path || *path == "-";
    SystemFile file = SystemFile::standardInput();
    if (!fromStandardInput) {
        file = SystemFile::open(*path, SystemFile::Read);
        if (!file.isOpen()) {
            err << "tolmar-cli: replay: cannot open " << *path << ": " << file.error().message() << "\n";
            return 2;
        }
    }
    const bool interactive = fromStandardInput && file.isTerminal();
    CaptureLines in(std::move(file), fromStandardInput ? "standard input" : *path);
    if (outPath && isCapture(path, *outPath))
        return usageError(err, "replay: --out names the capture itself");
    // Else a replay typed without a file would wait without a word.
    if (interactive)
        err << "tolmar-cli: replay: reading reports from standard input (" << endOfInputKeys() << " ends)\n";
    return line.record ? replayRecording(in, line.separator, line.options, line.start, outPath, out, err)
                       : replayReadings(in, line.separator, out, err);
}

} // namespace tolmar::cli
