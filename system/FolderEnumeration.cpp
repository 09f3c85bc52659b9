#include "FolderEnumeration.h"

#include "common/InPlaceOrder.h"
#include "common/SortHead.h"
#include "system/FolderHandle.h"
#include "system/NativeName.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

#ifdef Q_OS_UNIX
QString enumerationFailure(int error)
{
    switch (error) {
    case EMFILE:
    case ENFILE:
        return QStringLiteral("The system has no file handle left to open it (%1).").arg(qt_error_string(error));
    case EACCES:
        return QStringLiteral("Permission denied: the folder cannot be read.");
    case ENOENT:
        return QStringLiteral("The folder does not exist.");
    default:
        return QStringLiteral("The folder cannot be read: %1.").arg(qt_error_string(error));
    }
}

// Read directly: QDirIterator silently drops names that are not valid UTF-8,
// and takes a folder it cannot open, or a listing cut short, for an empty one.
// The folder is opened afresh from its handle, so that two listings of one
// folder never share a reading position.
QString walkEntriesOf(const FolderHandle &folder, const std::function<void(QByteArrayView, RawEntryKind)> &visit)
{
    if (!folder.isOpen())
        return folder.error();
    const int fd = openat(folder.descriptor(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = fd < 0 ? nullptr : fdopendir(fd);
    if (!dir) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        return enumerationFailure(error);
    }
    for (;;) {
        errno = 0;
        const dirent *entry = readdir(dir);
        if (!entry)
            break;
        const QByteArrayView raw(entry->d_name);
        if (raw == "." || raw == "..")
            continue;
        RawEntryKind kind;
#ifdef _DIRENT_HAVE_D_TYPE
        kind.isRegular = entry->d_type == DT_REG;
        kind.isLink = entry->d_type == DT_LNK;
        if (entry->d_type == DT_DIR)
            kind.isFolder = true;
        else if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK)
#endif
        {
            struct stat info;
            kind.isFolder = fstatat(dirfd(dir), entry->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
            kind.isLink = kind.isLink
                || (fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode));
        }
        visit(raw, kind);
    }
    const int error = errno;
    closedir(dir);
    return error ? enumerationFailure(error) : QString();
}

QString folderProblemOf(const QString &folder)
{
    struct stat info;
    const QByteArray path = NativeName::encode(folder);
    if (stat(path.constData(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return QStringLiteral("The folder does not exist.");
        if (errno == ELOOP)
            return QStringLiteral("Its path leads round a loop of links.");
        if (errno == ENAMETOOLONG)
            return QStringLiteral("Its path is longer than the system allows.");
        return QStringLiteral("The folder cannot be read: %1.").arg(qt_error_string(errno));
    }
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("It is not a folder.");
    if (access(path.constData(), R_OK | X_OK) != 0)
        return QStringLiteral("Permission denied: the folder cannot be read.");
    return {};
}
#else
QString walkEntriesOf(const FolderHandle &handle, const std::function<void(QByteArrayView, RawEntryKind)> &visit)
{
    if (!handle.isOpen())
        return handle.error();
    QDirIterator it(handle.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        visit(NativeName::encode(it.fileName()), {info.isDir(), info.isFile() && !info.isSymLink(), info.isSymLink()});
    }
    return {};
}

QString folderProblemOf(const QString &folder)
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
#endif

#ifdef Q_OS_UNIX
QStringList readSubFolderNames(const QString &folder)
{
    QStringList names;
    DIR *dir = opendir(NativeName::encode(folder).constData());
    if (!dir)
        return names;
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue; // ".", ".." and hidden folders
        bool isFolder = false;
#ifdef _DIRENT_HAVE_D_TYPE
        if (entry->d_type == DT_DIR)
            isFolder = true;
        else if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK)
#endif
        {
            struct stat info;
            isFolder = fstatat(dirfd(dir), entry->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
        }
        if (isFolder)
            names.append(NativeName::decode(QByteArray(entry->d_name)));
    }
    closedir(dir);
    return names;
}
#else
QStringList readSubFolderNames(const QString &folder)
{
    return QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}
#endif

QString readEntries(const FolderHandle &folder, QList<FolderEntry> &entries)
{
    return walkEntriesOf(folder, [&entries](QByteArrayView raw, RawEntryKind kind) {
        const QString name = NativeName::decode(raw);
        entries.append({name, kind.isFolder, NativeName::isValidText(name), kind.isRegular, kind.isLink});
    });
}

// Compares text already folded outside ASCII, folding ASCII capitals as it
// goes: what comparing the two names' case-folded forms would give.
int compareAsciiFolded(QStringView a, QStringView b)
{
    const qsizetype common = std::min(a.size(), b.size());
    const char16_t *x = a.utf16(), *y = b.utf16();
    qsizetype i = 0;
    // Four units at a time while they are the same: names in a folder often share a long start.
    for (quint64 p, q; i + 4 <= common; i += 4) {
        std::memcpy(&p, x + i, sizeof p);
        std::memcpy(&q, y + i, sizeof q);
        if (p != q)
            break;
    }
    for (; i < common; ++i) {
        char16_t p = x[i], q = y[i];
        if (p == q)
            continue;
        p = p >= u'A' && p <= u'Z' ? char16_t(p + 32) : p;
        q = q >= u'A' && q <= u'Z' ? char16_t(q + 32) : q;
        if (p != q)
            return p < q ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

} // namespace

QStringList subFolderNames(const QString &folder)
{
    QStringList names = readSubFolderNames(folder);
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return names;
}

QString walkEntries(const FolderHandle &folder, const std::function<void(QByteArrayView, RawEntryKind)> &visit)
{
    return walkEntriesOf(folder, visit);
}

QString folderProblem(const QString &folder)
{
    return folderProblemOf(folder);
}

FolderEnumeration::FolderEnumeration(const QString &folder)
    : m_error(folderProblem(folder))
{
    if (m_error.isEmpty())
        read(FolderHandle::open(folder), Order::ByName);
}

FolderEnumeration::FolderEnumeration(const FolderHandle &folder, Order order)
{
    read(folder, order);
}

void FolderEnumeration::read(const FolderHandle &folder, Order order)
{
    m_error = readEntries(folder, m_entries);
    if (!m_error.isEmpty()) {
        m_entries.clear();
        return;
    }
    if (order == Order::AsListed)
        return;
    // readdir order is arbitrary; pages must follow the names as a person
    // reads them. Case is folded once a name, and only for a name outside
    // ASCII: a plain name is compared as it stands, its capitals folded on
    // the way, so a folder of a hundred thousand pictures holds no second
    // copy of its names.
    struct Key {
        QString folded;   // null for a name in ASCII
        QStringView text; // what is compared: the folded name, or the name itself
        SortHead head;    // its start, which orders most names alone
        qsizetype entry;
    };
    std::vector<Key> keys;
    keys.reserve(std::size_t(m_entries.size()));
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        const QString &name = m_entries.at(i).name;
        const bool ascii = std::all_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() < 0x80; });
        keys.push_back({ascii ? QString() : name.toCaseFolded(), {}, {}, i});
        keys.back().text = ascii ? QStringView(name) : QStringView(keys.back().folded);
        keys.back().head = sortHeadOf(keys.back().text, true);
    }
    const QList<FolderEntry> &entries = m_entries; // read only: no copy-on-write check per comparison
    std::sort(keys.begin(), keys.end(), [&entries](const Key &a, const Key &b) {
        if (a.head != b.head)
            return a.head < b.head;
        const int byFolded = compareAsciiFolded(a.text, b.text);
        return byFolded != 0 ? byFolded < 0 : entries.at(a.entry).name < entries.at(b.entry).name;
    });
    putInOrder(m_entries, qsizetype(keys.size()), [&keys](qsizetype at) { return keys[std::size_t(at)].entry; });
}

std::optional<FolderEntry> FolderEnumeration::next()
{
    if (m_next >= m_entries.size())
        return std::nullopt;
    // Each entry is handed out once: moved, not copied.
    return std::move(m_entries[m_next++]);
}
