#pragma once

#include "files/TextTable.h"
#include "platform/SystemFiles.h"
#include "record/ReadingTable.h"

#include <memory>
#include <optional>
#include <string>

namespace tolmar {
class Locale;
class ReadingTableSnapshot;
struct ReadingRecord;
}

namespace tolmar::cli {

// --out FILE of replay --record and record: the recorded table also goes to
// a file, of the kind the save button picks by the name. Exported text (any
// name but ".xml") gets its header at the start and each record's line as
// the record is appended, written through at once, so a crash loses at most
// the line being written; so are comma-separated values (".csv" in any
// case), with each record's date. A packet (".xml") is written whole when the run
// ends, beside the file and put in its place only when complete.
class TableOutput {
public:
    // `command` names the messages: "tolmar-cli: COMMAND: ...".
    TableOutput(std::string path, const Locale &locale, std::string command);
    ~TableOutput();
    TableOutput(const TableOutput &) = delete;
    TableOutput &operator=(const TableOutput &) = delete;

    // Before recording: creates the text file (emptying one that exists) and
    // writes its header, or makes sure a packet can be created beside the
    // name. False, with error(), when the file cannot be written.
    bool open();
    // A record was appended to the table: its line goes to a text file.
    // False, with error() (set once), when writing failed now or before.
    bool recordAppended(const ReadingRecord &record, std::optional<RecordDate> date = std::nullopt);
    // The run ended with `table` recorded: writes the packet, or closes the
    // text file. False, with error(), when that failed.
    bool finish(const ReadingTableSnapshot &table);

    bool isPacket() const { return m_packet; }
    // "tolmar-cli: COMMAND: " and the message, once a step failed.
    const std::string &error() const { return m_error; }

private:
    bool writeAll(const std::string &bytes);
    bool fail(const std::string &reason);

    std::string m_path;
    const Locale &m_locale;
    std::string m_command;
    bool m_packet;
    bool m_csv;
    SystemFile m_file;
    LongTimeTexts m_times;
    std::string m_line;
    std::string m_error;
};

} // namespace tolmar::cli
