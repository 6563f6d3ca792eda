#include "platform/qt/QtShell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#ifdef Q_OS_WIN
#include <QDir>

#include <windows.h>
#include <shellapi.h>
#endif

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
#ifdef Q_OS_WIN
    // The shell's open action, as Explorer's double-click: the program the
    // user chose for the document's type. QString holds UTF-16, the wide
    // API's text.
    const std::wstring native = QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath()).toStdWString();
    ::ShellExecuteW(nullptr, L"open", native.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
#else
    QDesktopServices::openUrl(QUrl::fromLocalFile(file));
#endif
}

} // namespace tolmar
