#include "cli/Commands.h"
#include "cli/HeadlessForm.h"
#include "cli/ReadingJson.h"
#include "meter/FrameDecoder.h"
#include "platform/NoHidPlatform.h"
#include "platform/NumberText.h"
#include "platform/Prompts.h"
#include "platform/UiDispatcher.h"
#include "platform/virtual/VirtualTime.h"

#include <fstream>
#include <iostream>
#include <optional>
#include <vector>

namespace tolmar::cli {

const char *const replayHelp =
    "  replay [--decimal-separator C] [FILE|-]\n"
    "      Replay a capture of a meter session: one input report per line in the\n"
    "      form of the program's link log, \"R \" + report ID + two spaces + each\n"
    "      data byte as two hex digits and a space (for example\n"
    "      \"R 00  07 5A 00 03 05 05 59 80 \"), from FILE or standard input. The\n"
    "      reports run through the program's frame assembly and decode; each\n"
    "      decoded frame prints one JSON line with the keys of decode, or\n"
    "      {\"error\": \"...\"} for a frame that does not decode. A line that is\n"
    "      not a report is reported with its line number on standard error.\n"
    "      Exit status 2 if a line was not a report, else 1 if a frame failed.\n";

namespace {
std::optional<int> byteToken(const std::string &line, std::size_t at)
{
    return hexByte(std::string_view(line).substr(at, 2));
}

struct Report {
    std::uint8_t id = 0;
    std::vector<std::uint8_t> data;
};

// "R " + ID + spaces + "XX " per byte; blanks between tokens may vary and
// the trailing blank may be missing. Anything else is not a report.
std::optional<Report> parseReport(std::string line)
{
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
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
} // namespace

int replayCommand(const Args &args, std::ostream &out, std::ostream &err)
{
    std::optional<std::string> separator;
    std::optional<std::string> path;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--decimal-separator" && i + 1 < args.size() && !args[i + 1].empty())
            separator = args[++i];
        else if (arg.rfind("--decimal-separator=", 0) == 0 && arg.size() > 20)
            separator = arg.substr(20);
        else if (arg.rfind("--", 0) == 0)
            return usageError(err, "replay: unknown or incomplete option " + arg);
        else if (path)
            return usageError(err, "replay takes one FILE");
        else
            path = arg;
    }

    std::ifstream file;
    std::istream *in = &std::cin;
    if (path && *path != "-") {
        file.open(*path);
        if (!file) {
            err << "tolmar-cli: replay: cannot open " << *path << "\n";
            return 2;
        }
        in = &file;
    }

    VirtualTime time; // a capture replays at once: time stands still
    ScriptedPrompts prompts;
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

    std::string line;
    for (long number = 1; std::getline(*in, line); ++number) {
        const auto report = parseReport(line);
        if (!report) {
            err << "tolmar-cli: replay: line " << number << " is not a report: " << line << "\n";
            status = 2;
            continue;
        }
        headless.form().HidCtlDeviceData(report->id, report->data.data(), report->data.size());
    }
    return status;
}

} // namespace tolmar::cli
