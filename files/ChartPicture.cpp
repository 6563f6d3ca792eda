#include "files/ChartPicture.h"

#include "files/ByteStreams.h"
#include "platform/Prompts.h"
#include "platform/SystemFiles.h"

#include <filesystem>
#include <new>
#include <system_error>

namespace tolmar {

namespace {

char lowered(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isBitmapExtension(const std::string &extension)
{
    static constexpr char bmp[] = ".bmp";
    if (extension.size() != sizeof bmp - 1)
        return false;
    for (std::size_t i = 0; i < extension.size(); ++i)
        if (lowered(extension[i]) != bmp[i])
            return false;
    return true;
}

// A file the save would replace; a folder of that name is no such file (the
// save then fails and says why).
bool replacesAFile(const std::string &fileName)
{
    std::error_code ignored;
    const std::filesystem::file_status status = std::filesystem::status(filePath(fileName), ignored);
    return std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

} // namespace

std::string pictureFileName(const std::string &chosen)
{
    return isBitmapExtension(fileExtension(chosen)) ? chosen : chosen + ".bmp";
}

ChartPicture::ChartPicture(const ChartPicturePlatform &platform) : m_platform(platform)
{
    SavePictureDialog1.kind = FileDialog::Kind::Save;
    SavePictureDialog1.Filter = dialogFilter;
    SavePictureDialog1.overwritePrompt = true;
    SavePictureDialog1.hideReadOnly = true;
}

std::string ChartPicture::cannotCreateText(const std::string &fileName, const std::string &reason)
{
    return "Cannot create file \"" + fileName + "\". " + reason;
}

std::string ChartPicture::replaceQuestion(const std::string &fileName)
{
    return fileName + " already exists.\nDo you want to replace it?";
}

void ChartPicture::btnSaveClick()
{
    if (!m_platform.source)
        return;
    // Unlike the table's save dialog, the name chosen last is offered again.
    if (!m_platform.dialogs.execute(SavePictureDialog1))
        return;
    const std::string chosen = SavePictureDialog1.FileName;
    if (chosen.empty())
        return;
    const std::string fileName = pictureFileName(chosen);
    // The dialog asked about the name as typed. The one with ".bmp" appended
    // is another file, and it is not replaced without a question either.
    if (fileName != chosen && SavePictureDialog1.overwritePrompt && replacesAFile(fileName)
        && m_platform.prompts.show(PromptIcon::Confirmation, replaceQuestion(fileName), PromptButtons::YesNo)
               != PromptAnswer::Yes)
        return;
    savePicture(fileName);
}

bool ChartPicture::savePicture(const std::string &fileName)
{
    if (!m_platform.source)
        return false;
    std::string bytes;
    try {
        bytes = m_platform.source->bitmap();
    } catch (const std::bad_alloc &) {
        return failed(fileName, "Out of memory");
    }
    // No picture is no file: an empty one would pass for a saved picture.
    if (bytes.empty())
        return failed(fileName, notDrawnReason);

    std::unique_ptr<SaveFile> file = m_platform.createFile(fileName);
    if (!file->ok())
        return failed(fileName, file->error());
    if (file->sink().write(bytes.data(), bytes.size()) && file->sync() && file->commit())
        return true; // saved without a word
    std::string reason = file->error();
    if (reason.empty())
        reason = std::make_error_code(std::errc::io_error).message();
    file.reset(); // the temporary file goes before the box shows
    return failed(fileName, reason);
}

bool ChartPicture::failed(const std::string &fileName, const std::string &reason)
{
    m_platform.prompts.show(PromptIcon::Error, cannotCreateText(fileName, reason), PromptButtons::Ok);
    return false;
}

} // namespace tolmar
