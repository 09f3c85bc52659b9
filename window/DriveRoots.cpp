#include "DriveRoots.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStorageInfo>

#include <algorithm>

namespace DriveRoots {

namespace {

// Filesystems that hold no user's files, or that only a system mounts.
bool isPseudo(const QByteArray &type)
{
    static const QByteArrayList pseudo = {
        "proc", "sysfs", "devtmpfs", "devpts", "tmpfs", "ramfs", "cgroup", "cgroup2", "overlay",
        "squashfs", "autofs", "debugfs", "tracefs", "securityfs", "configfs", "fusectl", "mqueue",
        "hugetlbfs", "pstore", "bpf", "binfmt_misc", "efivarfs", "nsfs", "rpc_pipefs", "nfsd",
        "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs",
    };
    return pseudo.contains(type);
}

bool isDriveLetterRoot(const QString &root)
{
    static const QRegularExpression letter(QStringLiteral("^[A-Za-z]:/?$"));
    return letter.match(root).hasMatch();
}

bool isUnderUserMountPoint(const QString &root)
{
    static const QStringList places = {
        QStringLiteral("/home/"), QStringLiteral("/media/"), QStringLiteral("/mnt/"),
        QStringLiteral("/run/media/"), QStringLiteral("/Volumes/"),
    };
    // The place itself counts too: a /home partition is a disk of the user's.
    return std::any_of(places.cbegin(), places.cend(),
                       [&](const QString &place) { return root.startsWith(place) || root == place.chopped(1); });
}

bool holds(const QString &root, const QString &path)
{
    const Qt::CaseSensitivity cs = isDriveLetterRoot(root) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    if (path.compare(root, cs) == 0)
        return true;
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    return path.startsWith(prefix, cs);
}

} // namespace

bool isUserDrive(const QString &rootPath, const QByteArray &fileSystemType)
{
    if (rootPath == QLatin1String("/") || isDriveLetterRoot(rootPath))
        return true;
    return isUnderUserMountPoint(rootPath) && !isPseudo(fileSystemType);
}

QStringList mountedDrives()
{
    QStringList roots;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        const QString root = QDir::fromNativeSeparators(volume.rootPath());
        // A bind mount of a single file has a file, not a folder, as its root.
        if (!volume.isValid() || !QFileInfo(root).isDir())
            continue;
        if (isUserDrive(root, volume.fileSystemType()) && !roots.contains(root))
            roots.append(root);
    }
    if (roots.isEmpty())
        roots.append(QDir::rootPath());
    std::sort(roots.begin(), roots.end(),
              [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return roots;
}

QString driveHolding(const QStringList &roots, const QString &path)
{
    const QString wanted = QDir::fromNativeSeparators(path);
    QString best;
    for (const QString &root : roots) {
        if (root.size() > best.size() && holds(root, wanted))
            best = root;
    }
    return best;
}

} // namespace DriveRoots
