#include "cli/Commands.h"
#include "cli/Options.h"
#include "cli/ReadingJson.h"
#include "meter/FrameDecoder.h"
#include "meter/ReadingFrame.h"
#include "platform/SystemLocale.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <ostream>

namespace tolmar::cli {

namespace {
// The command line of decode: its table and what it holds.
struct DecodeLine {
    std::optional<std::string> separator;
    Args frames;
    OptionTable table{"decode", "decode: unknown option "};

    DecodeLine();
};

DecodeLine::DecodeLine()
{
    table.describe(
        "      Decode meter frames given as hex text (two digits per byte, for\n"
        "      example the 82-digit short frame \"5A0003...\") into one reading, in\n"
        "      order, as the program does: fields a frame does not reach keep the\n"
        "      values of the frames before. Prints one JSON line per frame with the\n"
        "      keys SignText Digit0 DigitA DigitB DigitC PointMode Point0Text\n"
        "      Point1Text Point2Text ValueText Nval UnitText FunctionText\n"
        "      RangeModeText FullScale, and WaveformSamples (160 integers) after a\n"
        "      722-digit long frame; {\"error\": \"...\"} for a frame that does not\n"
        "      decode. Exit status 1 if any frame failed.\n");
    addDecimalSeparator(table, separator, "--decimal-separator needs a character",
                        "use C instead of the locale's decimal separator");
    table.arguments("FRAME...", frames);
}
} // namespace

std::string decodeHelp()
{
    return DecodeLine().table.help();
}

int decodeCommand(const Args &args, std::ostream &out, std::ostream &err)
{
    DecodeLine line;
    if (const int status = line.table.parse(args, err))
        return status;
    if (line.frames.empty())
        return usageError(err, "decode needs at least one FRAME");
    const std::optional<std::string> &separator = line.separator;

    const std::unique_ptr<Locale> systemLocale = makeSystemLocale();
    Locale &locale = *systemLocale;
    MeterReading reading;
    int status = 0;
    for (std::string text : line.frames) {
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
