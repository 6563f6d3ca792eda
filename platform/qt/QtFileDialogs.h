#pragma once

#include "platform/FileDialogs.h"

#include <QString>
#include <QStringList>

#include <string>

class QFileDialog;
class QWidget;

namespace tolmar {

// Qt's own file dialog (never the desktop's), modal over a parent window, so
// it looks and behaves the same on every desktop and can be driven offscreen.
class QtFileDialogs final : public FileDialogs {
public:
    explicit QtFileDialogs(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    bool execute(FileDialog &dialog) override;

private:
    QWidget *m_parent;
};

// "Excel File(*.xls)|*.xls|Txt File(*.txt)|*.txt" as Qt name filters:
// "Excel File (*.xls)", "Txt File (*.txt)". Patterns joined by ";" are
// separated by blanks, as Qt reads them.
QStringList qtNameFilters(const std::string &filter);

// The extension a save dialog appends to a typed name without one: that of
// the chosen filter when its first pattern is "*.ext", else `defaultExt`.
QString defaultSuffixFor(const QString &nameFilter, const QString &defaultExt);

} // namespace tolmar
