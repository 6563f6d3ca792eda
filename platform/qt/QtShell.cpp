#include "platform/qt/QtShell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace tolmar {

std::string QtShell::programDirectory() const
{
    return QCoreApplication::applicationDirPath().toStdString();
}

bool QtShell::exists(const std::string &path) const
{
    return QFileInfo::exists(QString::fromStdString(path));
}

void QtShell::openDocument(const std::string &path)
{
    const QString file = QString::fromStdString(path);
    // The desktop's opener would complain about a missing file; the program
    // stays silent instead.
    if (!QFileInfo::exists(file))
        return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

} // namespace tolmar
