#include "ThumbnailIndex.h"

#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// A real index holds a line or so per picture; anything far larger is not ours.
constexpr qint64 maxIndexBytes = 64 * 1024 * 1024;
constexpr int formatVersion = 1;

ThumbnailRecord fromJson(const QJsonArray &fields)
{
    return {qint64(fields.at(0).toDouble()), qint64(fields.at(1).toDouble()), fields.at(2).toString(),
            QSize(fields.at(3).toInt(), fields.at(4).toInt())};
}

QJsonArray toJson(const ThumbnailRecord &record)
{
    return {double(record.length), double(record.modified), record.thumbnail, record.size.width(),
            record.size.height()};
}

} // namespace

ThumbnailIndex ThumbnailIndex::load(const QString &thumbnailFolder, int box)
{
    ThumbnailIndex index;
    const OpenedFile opened = openRegularFile(QDir(thumbnailFolder).filePath(QString::fromLatin1(fileName)));
    if (!opened.file || opened.length > maxIndexBytes)
        return index;
    const QJsonObject root = QJsonDocument::fromJson(opened.file->readAll()).object();
    if (root.value(QStringLiteral("version")).toInt() != formatVersion || root.value(QStringLiteral("box")).toInt() != box)
        return index;
    const QJsonObject pictures = root.value(QStringLiteral("pictures")).toObject();
    for (auto it = pictures.begin(); it != pictures.end(); ++it) {
        const ThumbnailRecord record = fromJson(it.value().toArray());
        // A name with a folder part could reach outside the thumbnail folder when removed.
        if (!record.thumbnail.isEmpty() && !record.thumbnail.contains(QLatin1Char('/'))
            && record.thumbnail != QLatin1String(".") && record.thumbnail != QLatin1String(".."))
            index.records.insert(it.key(), record);
    }
    return index;
}

QByteArray ThumbnailIndex::serialized(int box) const
{
    QJsonObject pictures;
    for (auto it = records.begin(); it != records.end(); ++it)
        pictures.insert(it.key(), toJson(it.value()));
    const QJsonObject root{{QStringLiteral("version"), formatVersion},
                           {QStringLiteral("box"), box},
                           {QStringLiteral("pictures"), pictures}};
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}
