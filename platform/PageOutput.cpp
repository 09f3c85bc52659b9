#include "PageOutput.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace {

QString cannotWrite(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason);
}

// The owner's write bit is checked as well, since an administrator's process
// would otherwise replace a file the user marked read-only.
bool isReadOnly(const QFileInfo &info)
{
    return !info.isWritable() || !info.permission(QFileDevice::WriteOwner);
}

QString refusal(const QString &path)
{
    const QFileInfo file(path);
    if (file.exists() && file.isDir())
        return QStringLiteral("A folder of that name is in the way.");
    if (file.exists() && isReadOnly(file))
        return QStringLiteral("The file is read-only.");
    const QFileInfo folder(file.absolutePath());
    if (!folder.isDir())
        return QStringLiteral("The folder no longer exists.");
    if (isReadOnly(folder))
        return QStringLiteral("The folder is read-only.");
    return {};
}

} // namespace

QString writeWholeFile(const QString &path, const QByteArray &contents)
{
    if (const QString reason = refusal(path); !reason.isEmpty())
        return cannotWrite(path, reason);

    QSaveFile file(path);
    // Unbuffered with one write: a buffered write that fails (a full disk)
    // still lets commit() succeed with a truncated file (QTBUG-75077).
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return cannotWrite(path, file.errorString());
    if (file.write(contents) != contents.size() || file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return cannotWrite(path, reason);
    }
    if (!file.commit())
        return cannotWrite(path, file.errorString());
    return {};
}
