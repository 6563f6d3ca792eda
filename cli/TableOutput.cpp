#include "cli/TableOutput.h"

#include "files/ByteStreams.h"
#include "files/CsvTable.h"
#include "files/DataFiles.h"
#include "files/Packet.h"
#include "record/ReadingTable.h"

namespace tolmar::cli {

TableOutput::TableOutput(std::string path, const Locale &locale, std::string command)
    : m_path(std::move(path))
    , m_locale(locale)
    , m_command(std::move(command))
    , m_packet(isPacketFileName(m_path))
    , m_csv(isCsvFileName(m_path))
    , m_times(m_locale)
{
}

TableOutput::~TableOutput() = default;

bool TableOutput::fail(const std::string &reason)
{
    if (m_error.empty()) {
        // The save button's messages, with the reason the text's leaves out.
        m_error = "tolmar-cli: " + m_command + ": ";
        if (m_packet)
            m_error += "Cannot create file \"" + m_path + "\". " + reason;
        else
            m_error += DataFiles::exportFailedText + m_path + " (" + reason + ")";
    }
    return false;
}

bool TableOutput::writeAll(const std::string &bytes)
{
    return m_file.writeAll(bytes.data(), bytes.size()) || fail(m_file.error().message());
}

bool TableOutput::open()
{
    if (m_packet) {
        // Only a check: a long recording leaves no temporary file behind
        // while it runs, and the packet is created afresh at the end.
        AtomicFile probe(m_path);
        if (!probe.ok())
            return fail(probe.error());
        probe.abandon();
        return true;
    }
    m_file = SystemFile::open(m_path, SystemFile::Write | SystemFile::Create | SystemFile::Truncate);
    if (!m_file.isOpen())
        return fail(m_file.error().message());
    if (m_csv)
        return writeAll(std::string(utf8ByteOrderMark) + std::string(csvHeaderLine));
    return writeAll(std::string(exportHeaderLine));
}

bool TableOutput::recordAppended(const ReadingRecord &record, std::optional<RecordDate> date)
{
    if (m_packet)
        return true;
    if (!m_error.empty())
        return false;
    m_line.clear();
    if (m_csv)
        appendCsvLine(m_line, record, date);
    else
        appendExportLine(m_line, record, m_times);
    // One write per line, straight to the file and on to the disk: a crash or
    // a power cut loses at most this line. Records come a few a second.
    if (!writeAll(m_line))
        return false;
    m_file.syncData();
    return true;
}

bool TableOutput::finish(const ReadingTableSnapshot &table)
{
    if (!m_packet) {
        if (!m_file.close())
            fail(m_file.error().message());
        return m_error.empty();
    }
    AtomicFile file(m_path);
    if (!file.ok())
        return fail(file.error());
    if (!writePacket(table, file) || !file.commit())
        return fail(file.error().empty() ? "the packet was not written" : file.error());
    return true;
}

} // namespace tolmar::cli
