#include "files/DataFiles.h"

#include "files/ByteStreams.h"
#include "files/CsvTable.h"
#include "files/Packet.h"
#include "files/TextTable.h"
#include "platform/BackgroundWork.h"
#include "platform/Prompts.h"
#include "record/ReadingTable.h"

#include <new>
#include <stdexcept>

namespace tolmar {

namespace {

class AtomicSaveFile final : public SaveFile {
public:
    explicit AtomicSaveFile(const std::string &target) : m_file(target) {}
    ByteSink &sink() override { return m_file; }
    bool ok() const override { return m_file.ok(); }
    bool sync() override { return m_file.sync(); }
    bool commit() override { return m_file.commit(); }
    std::string error() const override { return m_file.error(); }

private:
    AtomicFile m_file;
};

constexpr const char *cancelledReason = "Operation cancelled";

} // namespace

std::unique_ptr<SaveFile> createAtomicSaveFile(const std::string &target)
{
    return std::make_unique<AtomicSaveFile>(target);
}

std::string fileExtension(const std::string &name)
{
    const std::size_t slash = name.rfind('/');
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return name.substr(dot);
}

bool isPacketFileName(const std::string &name)
{
    return fileExtension(name) == ".xml";
}

bool isCsvFileName(const std::string &name)
{
    const std::string extension = fileExtension(name);
    return extension.size() == 4 && extension[0] == '.' && (extension[1] | 0x20) == 'c'
        && (extension[2] | 0x20) == 's' && (extension[3] | 0x20) == 'v';
}

TableFileKind tableFileKind(const std::string &name)
{
    return isPacketFileName(name) ? TableFileKind::Packet
        : isCsvFileName(name)     ? TableFileKind::Csv
                                  : TableFileKind::Text;
}

DataFiles::DataFiles(ReadingTable &table, const DataFilesPlatform &platform) : m_table(table), m_platform(platform)
{
    SaveDialog2.kind = FileDialog::Kind::Save;
    SaveDialog2.Filter = dialogFilter;
    SaveDialog2.DefaultExt = "xls";
    SaveDialog2.overwritePrompt = true;
    SaveDialog2.hideReadOnly = true;
    OpenDialog1.kind = FileDialog::Kind::Open;
    OpenDialog1.Filter = dialogFilter;
}

void DataFiles::saveasClick()
{
    if (m_busy)
        return;
    SaveDialog2.FileName.clear();
    // Recording goes on while the dialog is open.
    if (m_platform.dialogs.execute(SaveDialog2))
        SaveTableFile(SaveDialog2.FileName);
}

void DataFiles::SpeedButton2Click()
{
    if (m_busy)
        return;
    if (m_platform.dialogs.execute(OpenDialog1))
        LoadTable(OpenDialog1.FileName, false);
}

void DataFiles::SaveTableFile(const std::string &fileName)
{
    save(fileName, tableFileKind(fileName));
}

void DataFiles::showSaveFailure(bool packet, const std::string &fileName, const std::string &reason)
{
    if (packet)
        m_platform.prompts.show(PromptIcon::Error, "Cannot create file \"" + fileName + "\". " + reason,
                                PromptButtons::Ok);
    else
        m_platform.prompts.show(PromptIcon::Plain, exportFailedText + fileName, PromptButtons::Ok);
}

void DataFiles::ExportTable(const std::string &fileName)
{
    save(fileName, isCsvFileName(fileName) ? TableFileKind::Csv : TableFileKind::Text);
}

namespace {

// A save in flight: written by the worker, finished on the UI thread.
struct SaveJob {
    std::unique_ptr<SaveFile> file;
    ReadingTableSnapshot rows;
    std::shared_ptr<WorkProgress> progress = std::make_shared<WorkProgress>();
    bool written = false;
    std::string failure; // what stopped the work, when it threw
};

// Runs file work that may run out of memory on a huge file: a failure then,
// not a worker that dies with the program.
template <typename Work>
bool guarded(Work work, std::string &failure)
{
    try {
        return work();
    } catch (const std::bad_alloc &) {
        failure = "Out of memory";
    } catch (const std::exception &e) {
        failure = e.what();
    }
    return false;
}

} // namespace

void DataFiles::save(const std::string &fileName, TableFileKind kind)
{
    if (m_busy)
        return;
    const bool packet = kind == TableFileKind::Packet;
    auto job = std::make_shared<SaveJob>();
    job->file = m_platform.createFile(fileName);
    if (!job->file->ok()) {
        if (!packet && onExported)
            onExported();
        showSaveFailure(packet, fileName, job->file->error());
        return;
    }
    // The table as it is now: records appended while the file is written
    // are not in it.
    job->rows = m_table.snapshot();
    m_busy = true;
    const Locale &locale = m_platform.locale;
    m_platform.work.start(
        "Saving " + fileName, job->progress,
        [job, kind, &locale] {
            job->written = guarded([&] {
                ByteSink &sink = job->file->sink();
                const bool written = kind == TableFileKind::Packet ? writePacket(job->rows, sink, job->progress.get())
                    : kind == TableFileKind::Csv                  ? exportCsv(job->rows, sink, job->progress.get())
                                                                  : exportText(job->rows, locale, sink, job->progress.get());
                return written && job->file->sync();
            }, job->failure);
        },
        [this, job, fileName, packet] {
            m_busy = false;
            // The walk over the table leaves the last record current.
            if (!packet && onExported)
                onExported();
            if (job->written && !job->progress->cancelled() && job->file->commit()) {
                // A packet is saved without a word.
                if (!packet)
                    m_platform.prompts.show(PromptIcon::Plain, exportedText + fileName + exportedSuffix,
                                            PromptButtons::Ok);
                return;
            }
            const std::string reason = job->progress->cancelled() ? cancelledReason
                : !job->failure.empty()                          ? job->failure
                                                                 : job->file->error();
            job->file.reset(); // the temporary file goes before the message shows
            showSaveFailure(packet, fileName, reason);
        });
}

namespace {

struct LoadJob {
    std::unique_ptr<FileSource> source;
    ReadingTable rows;
    LoadResult result;
    std::shared_ptr<WorkProgress> progress = std::make_shared<WorkProgress>();
};

} // namespace

void DataFiles::LoadTable(const std::string &fileName, bool emptyFirst)
{
    if (m_busy)
        return;
    if (emptyFirst) {
        m_table.clear();
        if (onTableChanged)
            onTableChanged(true);
    }
    auto job = std::make_shared<LoadJob>();
    const TableFileKind kind = tableFileKind(fileName);
    const bool packet = kind == TableFileKind::Packet;
    job->source = std::make_unique<FileSource>(fileName);
    if (!job->source->ok()) {
        m_lastLoad = {LoadResult::Status::Failed, "cannot open: " + job->source->error(), 0, 0};
        m_platform.prompts.show(PromptIcon::Error, loadFailedText, PromptButtons::Ok, loadFailedCaption);
        return;
    }
    m_busy = true;
    // Where the records recorded while the file loads will start.
    const std::size_t recordedFrom = m_table.size();
    const std::uint64_t generation = m_table.generation();
    const Locale &locale = m_platform.locale;
    m_platform.work.start(
        "Loading " + fileName, job->progress,
        [job, kind, &locale] {
            std::string failure;
            if (!guarded([&] {
                    job->result = kind == TableFileKind::Packet ? readPacket(*job->source, job->rows, job->progress.get())
                        : kind == TableFileKind::Csv ? importCsv(*job->source, job->rows, job->progress.get())
                                                     : importText(*job->source, locale, job->rows, job->progress.get());
                    return true;
                }, failure))
                job->result = {LoadResult::Status::Failed, failure, 0, 0};
            job->source.reset();
        },
        [this, job, packet, recordedFrom, generation] {
            m_busy = false;
            m_lastLoad = job->result;
            if (job->result.status == LoadResult::Status::Cancelled || job->progress->cancelled())
                return; // as if it had never started
            if (packet) {
                // A refused packet leaves the table as it was.
                if (job->result.loaded()) {
                    // The packet's rows take the table's place; readings
                    // recorded while it loaded follow them, as they would
                    // have had the load taken no time (none are lost).
                    const std::size_t first = m_table.generation() == generation ? recordedFrom : 0;
                    for (std::size_t i = first; i < m_table.size(); ++i)
                        job->rows.append(m_table.at(i), m_table.dateOf(i));
                    m_table = std::move(job->rows);
                    if (onTableChanged)
                        onTableChanged(true);
                }
            } else if (!job->rows.empty()) {
                // The lines before a failing one are kept.
                m_table.append(std::move(job->rows));
                if (onTableChanged)
                    onTableChanged(false);
            }
            if (!job->result.loaded())
                m_platform.prompts.show(PromptIcon::Error, loadFailedText, PromptButtons::Ok, loadFailedCaption);
        });
}

} // namespace tolmar
