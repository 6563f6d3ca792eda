#include "platform/qt/QtFileDialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>

#include <algorithm>

namespace tolmar {

QStringList qtNameFilters(const std::string &filter)
{
    const QStringList parts = QString::fromStdString(filter).split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        patterns.replace(u';', u' ');
        patterns = patterns.simplified();
        if (patterns.isEmpty())
            patterns = QStringLiteral("*");
        // Names often carry their patterns already ("Excel File(*.xls)"):
        // Qt shows the name and reads the patterns from the last brackets,
        // so they are written once, after a blank.
        const qsizetype open = name.lastIndexOf(u'(');
        if (open >= 0 && name.endsWith(u')')) {
            QString named = name.mid(open + 1, name.size() - open - 2);
            if (named.replace(u';', u' ').simplified() == patterns)
                name = name.left(open).trimmed();
        }
        filters.append(name.isEmpty() ? patterns : name + QStringLiteral(" (") + patterns + u')');
    }
    // A name without its pattern stands for every file.
    if (parts.size() % 2 == 1 && !parts.back().trimmed().isEmpty())
        filters.append(parts.back().trimmed() + QStringLiteral(" (*)"));
    return filters;
}

QString defaultSuffixFor(const QString &nameFilter, const QString &defaultExt)
{
    if (defaultExt.isEmpty())
        return {};
    const qsizetype open = nameFilter.lastIndexOf(u'(');
    const qsizetype close = nameFilter.lastIndexOf(u')');
    if (open < 0 || close < open)
        return defaultExt;
    const QString first = nameFilter.mid(open + 1, close - open - 1).section(u' ', 0, 0, QString::SectionSkipEmpty);
    const QString extension = first.startsWith(QStringLiteral("*.")) ? first.mid(2) : QString();
    const bool plain = !extension.isEmpty()
        && std::none_of(extension.begin(), extension.end(),
                        [](QChar c) { return c == u'*' || c == u'?' || c == u'[' || c == u'.'; });
    return plain ? extension : defaultExt;
}

bool QtFileDialogs::execute(FileDialog &dialog)
{
    QFileDialog box(m_parent);
    box.setOption(QFileDialog::DontUseNativeDialog);
    const QStringList filters = qtNameFilters(dialog.Filter);
    if (!filters.isEmpty())
        box.setNameFilters(filters);
    // A typed name is taken whatever file type is in view: Qt's dialog
    // refuses to open a file its filter hides, and the packets the program
    // saves (.xml) are of no listed type. Other files show greyed instead.
    if (auto *model = box.findChild<QFileSystemModel *>())
        model->setNameFilterDisables(true);
    // Qt's dialog has no read-only check box, so hideReadOnly needs nothing.

    if (dialog.kind == FileDialog::Kind::Save) {
        box.setAcceptMode(QFileDialog::AcceptSave);
        box.setFileMode(QFileDialog::AnyFile);
        box.setOption(QFileDialog::DontConfirmOverwrite, !dialog.overwritePrompt);
        // A typed name without an extension gets the one of the file type
        // in view: "data" is saved as data.xls, or as data.txt once the
        // user picked "Txt File".
        const QString defaultExt = QString::fromStdString(dialog.DefaultExt);
        box.setDefaultSuffix(defaultSuffixFor(filters.value(0), defaultExt));
        QObject::connect(&box, &QFileDialog::filterSelected, &box, [&box, defaultExt](const QString &filter) {
            box.setDefaultSuffix(defaultSuffixFor(filter, defaultExt));
        });
    } else {
        box.setAcceptMode(QFileDialog::AcceptOpen);
        box.setFileMode(QFileDialog::ExistingFile);
    }

    if (!dialog.FileName.empty()) {
        const QFileInfo preselected(QFile::decodeName(QByteArray::fromStdString(dialog.FileName)));
        box.setDirectory(preselected.absolutePath());
        box.selectFile(preselected.fileName());
    }

    if (box.exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = box.selectedFiles();
    if (chosen.isEmpty() || chosen.front().isEmpty())
        return false;
    // File names go to the system as its own bytes.
    dialog.FileName = QFile::encodeName(chosen.front()).toStdString();
    return true;
}

} // namespace tolmar
