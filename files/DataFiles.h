#pragma once

#include "files/LoadResult.h"
#include "platform/FileDialogs.h"

#include <functional>
#include <memory>
#include <string>

namespace tolmar {

class BackgroundWork;
class ByteSink;
class Locale;
class Prompts;
class ReadingTable;

// A file being saved: bytes go to a temporary file that takes the target's
// place on commit (AtomicFile); tests put a failing one in its place.
class SaveFile {
public:
    virtual ~SaveFile() = default;
    virtual ByteSink &sink() = 0;
    // False when the file could not be created; error() says why.
    virtual bool ok() const = 0;
    // Flushes to disk; the worker does it, it can take long.
    virtual bool sync() = 0;
    // Puts the file in the target's place; false (target untouched) on failure.
    virtual bool commit() = 0;
    virtual std::string error() const = 0;
};
std::unique_ptr<SaveFile> createAtomicSaveFile(const std::string &target);

struct DataFilesPlatform {
    Locale &locale;
    Prompts &prompts;
    FileDialogs &dialogs;
    BackgroundWork &work;
    std::function<std::unique_ptr<SaveFile>(const std::string &target)> createFile = createAtomicSaveFile;
};

// The extension of a file name: from the last "." after the last "/", or empty.
std::string fileExtension(const std::string &name);
// True when the name is saved and loaded as a packet: its extension is
// exactly ".xml", in lower case; every other name is tab-separated text,
// or comma-separated values for a name ending in ".csv" in any case.
bool isPacketFileName(const std::string &name);
bool isCsvFileName(const std::string &name);
enum class TableFileKind { Packet, Text, Csv };
TableFileKind tableFileKind(const std::string &name);

// Saving and loading the reading table cds1: the buttons saveas and
// OpenDataFiles and the file work behind them. Each save or load runs over a
// snapshot beside the user interface and takes effect in one step at its end,
// while recording goes on.
class DataFiles {
public:
    static constexpr const char *dialogFilter =
        "Excel File(*.xls)|*.xls|Txt File(*.txt)|*.txt|Comma-separated values (*.csv)|*.csv";
    static constexpr const char *exportFailedText = "Could not save table to specified file: ";
    static constexpr const char *exportedText = "save table to specified file: ";
    static constexpr const char *exportedSuffix = " Scuss!";
    static constexpr const char *loadFailedText = "Failed to Load File!";
    static constexpr const char *loadFailedCaption = "Error";

    DataFiles(ReadingTable &table, const DataFilesPlatform &platform);
    DataFiles(const DataFiles &) = delete;
    DataFiles &operator=(const DataFiles &) = delete;

    FileDialog SaveDialog2;
    FileDialog OpenDialog1;

    void saveasClick();        // "Save data files"
    void SpeedButton2Click();  // "Open old data files"
    // A packet for a name ending in ".xml", comma-separated values for
    // ".csv", else the exported text.
    void SaveTableFile(const std::string &fileName);
    void ExportTable(const std::string &fileName);
    // Replaces the table with a packet's rows, or appends a text file's rows
    // (a comma-separated file's all or none).
    // With emptyFirst the table is emptied before anything else.
    void LoadTable(const std::string &fileName, bool emptyFirst);

    // True while a save or load runs; the file buttons wait for it.
    bool busy() const { return m_busy; }
    // How the last load ended (what failed, and where).
    const LoadResult &lastLoad() const { return m_lastLoad; }

    // The table got rows appended (text) or was replaced (packet).
    std::function<void(bool replaced)> onTableChanged;
    // An export walked the table: the grid's current row is the last record.
    std::function<void()> onExported;

private:
    // The packet, the exported text or the comma-separated values, over a
    // snapshot on a worker.
    void save(const std::string &fileName, TableFileKind kind);
    void showSaveFailure(bool packet, const std::string &fileName, const std::string &reason);

    ReadingTable &m_table;
    DataFilesPlatform m_platform;
    bool m_busy = false;
    LoadResult m_lastLoad;
};

} // namespace tolmar
