#include "cli/Commands.h"
#include "cli/ReadingJson.h"
#include "meter/FrameDecoder.h"
#include "meter/ReadingFrame.h"
#include "platform/posix/PosixLocale.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <ostream>

namespace tolmar::cli {

const char *const decodeHelp =
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
    "      --decimal-separator C  use C instead of the locale's decimal separator\n";

int decodeCommand(const Args &args, std::ostream &out, std::ostream &err)
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

} // namespace tolmar::cli
