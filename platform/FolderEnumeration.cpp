#include "FolderEnumeration.h"

#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>

QString folderProblem(const QString &folder)
{
    const QFileInfo info(folder);
    if (!info.exists())
        return QStringLiteral("The folder does not exist.");
    if (!info.isDir())
        return QStringLiteral("It is not a folder.");
    if (!info.isReadable() || !info.isExecutable())
        return QStringLiteral("Permission denied: the folder cannot be read.");
    return {};
}

FolderEnumeration::FolderEnumeration(const QString &folder)
    : m_error(folderProblem(folder))
{
    if (!m_error.isEmpty())
        return;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        m_entries.append({it.fileName(), it.fileInfo().isDir()});
    }
    // readdir order is arbitrary; pages must follow the names as a person reads them.
    std::sort(m_entries.begin(), m_entries.end(), [](const FolderEntry &a, const FolderEntry &b) {
        const int folded = a.name.compare(b.name, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a.name < b.name;
    });
}

std::optional<FolderEntry> FolderEnumeration::next()
{
    if (m_next >= m_entries.size())
        return std::nullopt;
    return m_entries.at(m_next++);
}
