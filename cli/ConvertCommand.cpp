#include "cli/Commands.h"
#include "cli/Options.h"
#include "files/ByteStreams.h"
#include "files/CsvTable.h"
#include "files/DataFiles.h"
#include "files/Packet.h"
#include "files/TextTable.h"
#include "platform/SystemLocale.h"
#include "record/ReadingTable.h"

#include <ostream>

namespace tolmar::cli {

namespace {
const char *const convertDescription =
    "      Loads the table file IN as \"Open old data files\" does (a packet for\n"
    "      a name ending in \".xml\", comma-separated values for \".csv\" in any\n"
    "      case, else tab-separated text) and saves it as OUT as \"Save data\n"
    "      files\" does (a packet for \".xml\", comma-separated values for \".csv\",\n"
    "      else the exported text). Times of the exported text are in the\n"
    "      locale's long time format (LC_ALL, LC_TIME, LANG). OUT is written beside its place and takes it only when\n"
    "      complete. A file that does not load (\"Failed to Load File!\", the\n"
    "      line or byte that failed, and why) or an OUT that cannot be written\n"
    "      is told on standard error with exit status 1; OUT is then as it was.\n";

const char *const prefix = "tolmar-cli: convert: ";

bool save(const std::string &name, const Locale &locale, const ReadingTable &table, std::ostream &err)
{
    const TableFileKind kind = tableFileKind(name);
    const bool packet = kind == TableFileKind::Packet;
    AtomicFile file(name);
    const ReadingTableSnapshot rows = table.snapshot();
    const auto write = [&] {
        return packet                       ? writePacket(rows, file)
            : kind == TableFileKind::Csv ? exportCsv(rows, file)
                                         : exportText(rows, locale, file);
    };
    if (file.ok() && write() && file.commit())
        return true;
    const std::string reason = file.error().empty() ? "the file was not written" : file.error();
    if (packet)
        err << prefix << "Cannot create file \"" << name << "\". " << reason << "\n";
    else
        err << prefix << DataFiles::exportFailedText << name << " (" << reason << ")\n";
    return false;
}
} // namespace

bool loadTableFile(const std::string &name, const Locale &locale, ReadingTable &table, std::ostream &err,
                   const std::string &prefix)
{
    FileSource source(name);
    if (!source.ok()) {
        err << prefix << DataFiles::loadFailedText << " " << name << ": " << source.error() << "\n";
        return false;
    }
    const TableFileKind kind = tableFileKind(name);
    const LoadResult result = kind == TableFileKind::Packet ? readPacket(source, table)
        : kind == TableFileKind::Csv                        ? importCsv(source, table)
                                                            : importText(source, locale, table);
    if (!result.loaded()) {
        err << prefix << DataFiles::loadFailedText << " " << name << ": " << result.where() << "\n";
        return false;
    }
    return true;
}

namespace {
// The command line of convert and report: IN and OUT.
struct InAndOutLine {
    Args names;
    OptionTable table;

    InAndOutLine(const std::string &command, const char *description) : table(command, command + ": unknown option ")
    {
        table.describe(description);
        table.arguments("IN OUT", names);
    }
};
} // namespace

int inAndOut(const Args &args, const std::string &command, std::string &in, std::string &out, std::ostream &err)
{
    InAndOutLine line(command, "");
    if (const int status = line.table.parse(args, err))
        return status;
    const Args &names = line.names;
    if (names.size() != 2 || names[0].empty() || names[1].empty())
        return usageError(err, command + " takes IN and OUT");
    in = names[0];
    out = names[1];
    return 0;
}

std::string inAndOutHelp(const std::string &command, const char *description)
{
    return InAndOutLine(command, description).table.help();
}

std::string convertHelp()
{
    return inAndOutHelp("convert", convertDescription);
}

int convertCommand(const Args &args, std::ostream &, std::ostream &err)
{
    std::string in, out;
    if (const int status = inAndOut(args, "convert", in, out, err))
        return status;
    const std::unique_ptr<Locale> systemLocale = makeSystemLocale();
    Locale &locale = *systemLocale;
    ReadingTable table;
    if (!loadTableFile(in, locale, table, err, prefix) || !save(out, locale, table, err))
        return 1;
    return 0;
}

} // namespace tolmar::cli
