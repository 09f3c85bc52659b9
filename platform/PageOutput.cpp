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

// A write cut short (a full disk, a file-size limit) returns the bytes it
// managed and sets no error, which would read "Unknown error"; writing the
// rest makes the system say why it stopped.
QString writeAll(QSaveFile &file, const QByteArray &contents)
{
    qint64 written = 0;
    while (written < contents.size() && file.error() == QFileDevice::NoError) {
        const qint64 step = file.write(contents.constData() + written, contents.size() - written);
        if (step <= 0)
            break;
        written += step;
    }
    if (file.error() != QFileDevice::NoError)
        return file.errorString();
    if (written != contents.size())
        return QStringLiteral("Not all of it could be written.");
    return {};
}

} // namespace

QString writeWholeFile(const QString &path, const QByteArray &contents)
{
    if (const QString reason = refusal(path); !reason.isEmpty())
        return cannotWrite(path, reason);

    QSaveFile file(path);
    // Unbuffered: a buffered write that fails (a full disk)
    // still lets commit() succeed with a truncated file (QTBUG-75077).
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return cannotWrite(path, file.errorString());
    if (const QString reason = writeAll(file, contents); !reason.isEmpty()) {
        file.cancelWriting();
        return cannotWrite(path, reason);
    }
    if (!file.commit())
        return cannotWrite(path, file.errorString());
    return {};
}
