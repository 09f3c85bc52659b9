#include "ThumbnailIndex.h"

#include "album/AlbumImages.h"
#include "catalogue/CandidateRule.h"
#include "system/FolderHandle.h"
#include "system/PictureFolder.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// A real index holds a line or so per picture; anything far larger is not ours.
constexpr qint64 maxIndexBytes = 64 * 1024 * 1024;
// 2 stamps a picture with its change time and file number as well; the
// records of 1 are read for their thumbnails' names alone.
constexpr int formatVersion = 2;
constexpr int olderVersion = 1;

FileStamp stampFromText(const QString &text)
{
    const QStringList fields = text.split(QLatin1Char(' '));
    if (fields.size() != 4)
        return {};
    return {fields.at(0).toLongLong(), fields.at(1).toLongLong(), fields.at(2).toLongLong(), fields.at(3).toULongLong()};
}

ThumbnailRecord fromJson(const QJsonArray &fields, int version)
{
    if (version == olderVersion) // length, modification time, thumbnail, width, height
        return {{}, fields.at(2).toString(), QSize(fields.at(3).toInt(), fields.at(4).toInt())};
    return {stampFromText(fields.at(0).toString()), fields.at(1).toString(),
            QSize(fields.at(2).toInt(), fields.at(3).toInt())};
}

QJsonArray toJson(const ThumbnailRecord &record)
{
    return {record.stamp.text(), record.thumbnail, record.size.width(), record.size.height()};
}

QByteArray readIndex(const FolderHandle &thumbnailFolder)
{
    const OpenedPicture opened = openFileIn(thumbnailFolder, QString::fromLatin1(ThumbnailIndex::fileName));
    if (!opened.opened.file || opened.opened.length > maxIndexBytes)
        return {};
    return opened.opened.file->readAll();
}

} // namespace

ThumbnailIndex ThumbnailIndex::load(const FolderHandle &thumbnailFolder, int box)
{
    ThumbnailIndex index;
    const QJsonObject root = QJsonDocument::fromJson(readIndex(thumbnailFolder)).object();
    const int version = root.value(QStringLiteral("version")).toInt();
    if ((version != formatVersion && version != olderVersion) || root.value(QStringLiteral("box")).toInt() != box)
        return index;
    index.known = true;
    const QJsonObject pictures = root.value(QStringLiteral("pictures")).toObject();
    for (auto it = pictures.begin(); it != pictures.end(); ++it) {
        const ThumbnailRecord record = fromJson(it.value().toArray(), version);
        if (isPlainName(it.key()) && isCandidateName(it.key()) && record.thumbnail == thumbnailName(it.key()))
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
