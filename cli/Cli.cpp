#include "cli/Cli.h"

#include "cli/ReadingJson.h"
#include "meter/FrameDecoder.h"
#include "meter/ReadingFrame.h"
#include "platform/posix/PosixLocale.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <ostream>

namespace tolmar::cli {

namespace {
constexpr const char *usage =
    "Usage: tolmar-cli COMMAND [OPTIONS] [ARGUMENTS]\n"
    "\n"
    "The headless companion of Tolmar, the multimeter interface program.\n"
    "\n"
    "Commands:\n"
    "  decode [--decimal-separator C] FRAME...\n"
    "      Decode meter frames given as hex text (two digits per byte, for\n"
    "      example the 82-digit short frame \"5A0003...\") into one reading, in\n"
    "      order, as the program does: fields a frame does not reach keep the\n"
    "      values of the frames before. Prints one JSON line per frame with the\n"
    "      keys SignText Digit0 DigitA DigitB DigitC PointMode Point0Text\n"
    "      Point1Text Point2Text ValueText Nval UnitText FunctionText\n"
    "      RangeModeText FullScale, and WaveformSamples (160 integers) after a\n"
    "      722-digit long frame; {\"error\": \"...\"} for a frame that does not\n"
    "      decode. Exit status 1 if any frame failed.\n"
    "      --decimal-separator C  use C instead of the locale's decimal separator\n"
    "\n"
    "  help, --help, -h\n"
    "      Show this text.\n"
    "\n"
    "Exit status: 0 success, 1 a command failed, 2 wrong usage.\n";

int usageError(std::ostream &err, const std::string &message)
{
    err << "tolmar-cli: " << message << "\n" << "Try 'tolmar-cli --help'.\n";
    return 2;
}

int decode(const std::vector<std::string> &args, std::ostream &out, std::ostream &err)
{
    std::optional<std::string> separator;
    std::vector<std::string> frames;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--decimal-separator") {
            if (i + 1 == args.size())
                return usageError(err, "--decimal-separator needs a character");
            separator = args[++i];
        } else if (arg.rfind("--decimal-separator=", 0) == 0) {
            separator = arg.substr(std::string("--decimal-separator=").size());
        } else if (arg == "--") {
            frames.insert(frames.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        } else if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
            return usageError(err, "decode: unknown option " + arg);
        } else {
            frames.push_back(arg);
        }
    }
    if (separator && separator->empty())
        return usageError(err, "--decimal-separator needs a character");
    if (frames.empty())
        return usageError(err, "decode needs at least one FRAME");

    PosixLocale locale;
    MeterReading reading;
    int status = 0;
    for (std::string text : frames) {
        // The program's frame texts are uppercase hex; accept either case here.
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        const auto error = decodeFrame(text, reading, separator ? *separator : locale.decimalSeparator());
        if (error) {
            out << decodeErrorJson(*error) << "\n";
            status = 1;
        } else {
            out << readingJson(reading, text.size() == frame::longFrameLength) << "\n";
        }
    }
    return status;
}
} // namespace

int run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err)
{
    if (args.empty())
        return usageError(err, "missing COMMAND");
    const std::string &command = args.front();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "help" || command == "--help" || command == "-h") {
        out << usage;
        return 0;
    }
    if (command == "decode")
        return decode(rest, out, err);
    return usageError(err, "unknown command " + command);
}

} // namespace tolmar::cli
