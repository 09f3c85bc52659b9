#include "SmallDisk.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace {

// Where mounting is refused, the test's skip message says so; mount's own complaint is noise.
bool quietly(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

SmallDisk::SmallDisk(const QString &folder, const QString &size)
    : m_folder(folder)
{
    m_mounted = quietly(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                                  QStringLiteral("size=") + size, QStringLiteral("tmpfs"), folder});
}

SmallDisk::~SmallDisk()
{
    if (m_mounted)
        quietly(QStringLiteral("umount"), {m_folder});
}

bool fillDisk(const QString &folder, int freeBlocks)
{
    constexpr qint64 block = 4096;
    QFile filler(QDir(folder).filePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray chunk(block, 'x');
    while (filler.write(chunk) == block) {
    }
    filler.close();
    const qint64 whole = filler.size() / block * block;
    return filler.resize(qMax<qint64>(0, whole - freeBlocks * block));
}
