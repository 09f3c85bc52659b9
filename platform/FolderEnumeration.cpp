#include "FolderEnumeration.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace {

#ifdef Q_OS_UNIX
// Read directly: QDirIterator silently drops names that are not valid UTF-8,
// and the user must hear about those files rather than lose them unseen.
QList<FolderEntry> readEntries(const QString &folder)
{
    QList<FolderEntry> entries;
    const QByteArray path = QFile::encodeName(folder);
    DIR *dir = opendir(path.constData());
    if (!dir)
        return entries;
    while (const dirent *entry = readdir(dir)) {
        const QByteArray raw(entry->d_name);
        if (raw == "." || raw == "..")
            continue;
        const QString name = QFile::decodeName(raw);
        bool isFolder = false;
#ifdef _DIRENT_HAVE_D_TYPE
        if (entry->d_type == DT_DIR)
            isFolder = true;
        else if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK)
#endif
        {
            struct stat info;
            isFolder = stat((path + '/' + raw).constData(), &info) == 0 && S_ISDIR(info.st_mode);
        }
        entries.append({name, isFolder, QFile::encodeName(name) == raw});
    }
    closedir(dir);
    return entries;
}
#else
QList<FolderEntry> readEntries(const QString &folder)
{
    QList<FolderEntry> entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        entries.append({it.fileName(), it.fileInfo().isDir(), true});
    }
    return entries;
}
#endif

} // namespace

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
    m_entries = readEntries(folder);
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
