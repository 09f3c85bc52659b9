#include "AlbumIndex.h"

#include "platform/PictureFolder.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// A real index holds a line or so per picture; anything far larger is not ours.
constexpr qint64 maxIndexBytes = 256 * 1024 * 1024;
constexpr int formatVersion = 1;

FileStamp stampFromText(const QString &text)
{
    const QStringList fields = text.split(QLatin1Char(' '));
    if (fields.size() != 4)
        return {};
    return {fields.at(0).toLongLong(), fields.at(1).toLongLong(), fields.at(2).toLongLong(), fields.at(3).toULongLong()};
}

QJsonArray sizeToJson(QSize size)
{
    return {size.width(), size.height()};
}

QSize sizeFromJson(const QJsonValue &value)
{
    const QJsonArray pair = value.toArray();
    return pair.size() == 2 ? QSize(pair.at(0).toInt(), pair.at(1).toInt()) : QSize();
}

// The facts under short keys, only those the picture has.
const std::pair<const char *, QString PictureFacts::*> textFacts[] = {
    {"camera", &PictureFacts::camera},   {"exposure", &PictureFacts::exposure}, {"aperture", &PictureFacts::aperture},
    {"iso", &PictureFacts::iso},         {"focal", &PictureFacts::focalLength}, {"caption", &PictureFacts::caption}};

QJsonObject factsToJson(const PictureFacts &facts)
{
    QJsonObject object;
    if (facts.taken.isValid())
        object.insert(QStringLiteral("taken"), facts.taken.toString(Qt::ISODate));
    for (const auto &[key, field] : textFacts) {
        if (!(facts.*field).isEmpty())
            object.insert(QLatin1String(key), facts.*field);
    }
    return object;
}

PictureFacts factsFromJson(const QJsonObject &object)
{
    PictureFacts facts;
    if (object.contains(QStringLiteral("taken")))
        facts.taken = QDateTime::fromString(object.value(QStringLiteral("taken")).toString(), Qt::ISODate);
    for (const auto &[key, field] : textFacts)
        facts.*field = object.value(QLatin1String(key)).toString();
    return facts;
}

AlbumRecord fromJson(const QJsonObject &object, bool sameSizes)
{
    AlbumRecord record;
    if (sameSizes)
        record.stamp = stampFromText(object.value(QStringLiteral("stamp")).toString());
    record.small = sizeFromJson(object.value(QStringLiteral("small")));
    record.large = sizeFromJson(object.value(QStringLiteral("large")));
    record.web = sizeFromJson(object.value(QStringLiteral("web")));
    record.facts = factsFromJson(object.value(QStringLiteral("facts")).toObject());
    record.page = object.value(QStringLiteral("page")).toString().toULongLong(nullptr, 16);
    return record;
}

QJsonObject toJson(const AlbumRecord &record)
{
    QJsonObject object{{QStringLiteral("stamp"), record.stamp.text()},
                       {QStringLiteral("small"), sizeToJson(record.small)},
                       {QStringLiteral("large"), sizeToJson(record.large)},
                       {QStringLiteral("page"), QString::number(record.page, 16)}};
    if (record.web.isValid())
        object.insert(QStringLiteral("web"), sizeToJson(record.web));
    if (const QJsonObject facts = factsToJson(record.facts); !facts.isEmpty())
        object.insert(QStringLiteral("facts"), facts);
    return object;
}

} // namespace

AlbumIndex AlbumIndex::load(const FolderHandle &albumFolder, const AlbumSizes &sizes)
{
    AlbumIndex index;
    const OpenedPicture opened = openFileIn(albumFolder, QString::fromLatin1(fileName));
    if (!opened.opened.file || opened.opened.length > maxIndexBytes)
        return index;
    const QJsonObject root = QJsonDocument::fromJson(opened.opened.file->readAll()).object();
    if (root.value(QStringLiteral("album")).toInt() != formatVersion)
        return index;
    const bool sameSizes = root.value(QStringLiteral("box")).toInt() == sizes.box
        && root.value(QStringLiteral("web")).toInt() == sizes.webSize;
    const QJsonObject pictures = root.value(QStringLiteral("pictures")).toObject();
    index.records.reserve(pictures.size());
    for (auto it = pictures.begin(); it != pictures.end(); ++it) {
        if (isPlainName(it.key()))
            index.records.insert(it.key(), fromJson(it.value().toObject(), sameSizes));
    }
    return index;
}

QByteArray AlbumIndex::serialized(const AlbumSizes &sizes) const
{
    QJsonObject pictures;
    for (auto it = records.begin(); it != records.end(); ++it)
        pictures.insert(it.key(), toJson(it.value()));
    const QJsonObject root{{QStringLiteral("album"), formatVersion},
                           {QStringLiteral("box"), sizes.box},
                           {QStringLiteral("web"), sizes.webSize},
                           {QStringLiteral("pictures"), pictures}};
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}
