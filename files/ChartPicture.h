#pragma once

#include "files/DataFiles.h"
#include "platform/FileDialogs.h"

#include <functional>
#include <memory>
#include <string>

namespace tolmar {

class Prompts;

// Where the picture of the chart comes from: the window that shows it.
class ChartPictureSource {
public:
    virtual ~ChartPictureSource() = default;
    // The bytes of a Windows bitmap file holding the chart as it is displayed
    // now (the page in view, the shown series, the axis ranges) at its size,
    // on white. Empty when the picture could not be drawn.
    virtual std::string bitmap() = 0;
};

struct ChartPicturePlatform {
    Prompts &prompts;
    FileDialogs &dialogs;
    // Null in a program without a window: there is no chart to save.
    ChartPictureSource *source = nullptr;
    std::function<std::unique_ptr<SaveFile>(const std::string &target)> createFile = createAtomicSaveFile;
};

// The name a picture is saved under: the chosen name when its extension is
// ".bmp" in any case, else the chosen name with ".bmp" appended (graph ->
// graph.bmp, graph.png -> graph.png.bmp, graph.BMP stays).
std::string pictureFileName(const std::string &chosen);

// The chart's button btnSave ("Save graphic"): the chart as a bitmap file.
// It all runs on the UI thread: a picture is about a megabyte.
class ChartPicture {
public:
    static constexpr const char *dialogFilter = "Bitmaps (*.bmp)|*.bmp";
    static constexpr const char *notDrawnReason = "The chart could not be drawn.";

    explicit ChartPicture(const ChartPicturePlatform &platform);
    ChartPicture(const ChartPicture &) = delete;
    ChartPicture &operator=(const ChartPicture &) = delete;

    // Keeps the last chosen name between openings.
    FileDialog SavePictureDialog1;

    void btnSaveClick();
    // Writes the picture under `fileName` as it is, in the file's place once
    // it is all on disk; a failure says so in a box and leaves the old file.
    // False when nothing was written.
    bool savePicture(const std::string &fileName);

    static std::string cannotCreateText(const std::string &fileName, const std::string &reason);
    static std::string replaceQuestion(const std::string &fileName);

private:
    bool failed(const std::string &fileName, const std::string &reason);

    ChartPicturePlatform m_platform;
};

} // namespace tolmar
