#include "ClipFiles.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

namespace ClipFiles {

namespace {

constexpr int toolDeadline = 60000; // ms

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(toolDeadline)) {
        process.kill();
        process.waitForFinished();
        return program + QStringLiteral(" did not finish: ") + process.errorString();
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError());
    return {};
}

} // namespace

QString makeClip(const QString &path, const QImage &picture, double seconds, const QStringList &args, const QStringList &tags)
{
    QTemporaryDir dir;
    const QString still = dir.filePath(QStringLiteral("still.png"));
    if (!picture.save(still))
        return QStringLiteral("cannot write ") + still;
    const QString length = QString::number(seconds);
    QStringList arguments{"-v", "error", "-y", "-loop", "1", "-framerate", "25", "-i", still, "-f", "lavfi",
                          "-i", "sine=frequency=440:duration=" + length, "-t", length};
    if (QString error = run(QStringLiteral("ffmpeg"), arguments + args + QStringList{path}); !error.isEmpty())
        return error;
    if (tags.isEmpty())
        return {};
    return run(QStringLiteral("exiftool"), QStringList{"-q", "-overwrite_original"} + tags + QStringList{path});
}

QString ffmpeg(const QStringList &args)
{
    return run(QStringLiteral("ffmpeg"), QStringList{"-v", "error", "-y"} + args);
}

QString probe(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("ffprobe"), {"-v", "error", "-show_entries",
                                              "stream=codec_name,width,height:stream_side_data:format=duration:format_tags:stream_tags",
                                              "-of", "flat", path});
    process.waitForFinished(toolDeadline);
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace ClipFiles
