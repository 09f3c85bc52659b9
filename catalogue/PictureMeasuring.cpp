#include "PictureMeasuring.h"

#include "catalogue/CandidateRule.h"
#include "clips/ClipService.h"
#include "formats/HeifDecoding.h"
#include "formats/PictureHeader.h"

#include <QFileInfo>

namespace {

// The header reader's bytes, read straight from the open file.
class OpenBytes : public ByteSource
{
public:
    OpenBytes(PictureBytes &bytes, qint64 size) : m_bytes(bytes), m_size(size) {}

    qint64 readAt(qint64 offset, char *into, qint64 count) override { return m_bytes.readAt(offset, into, count); }
    QString errorString() const override { return m_bytes.errorString(); }
    qint64 size() const override { return m_size; }

private:
    PictureBytes &m_bytes;
    qint64 m_size;
};

bool isHeifIn(ByteSource &bytes)
{
    char start[32];
    const qint64 read = bytes.readAt(0, start, sizeof start);
    return read > 0 && isHeif(QByteArrayView(start, read));
}

// What a header read by a library says of a photo or clip the album shows
// through a copy: its size as shown, or why it cannot be shown.
template<typename Header>
Measurement convertedFrom(const Header &header, qint64 length)
{
    Measurement measurement;
    measurement.length = length;
    measurement.cancelled = header.stopped;
    measurement.converted = true;
    if (header.problem.isEmpty())
        measurement.size = header.displayed;
    else
        measurement.error = header.problem;
    return measurement;
}

// A HEIF photo's size from its header, through libheif; what decoding it
// costs is the album's to weigh.
Measurement measuredHeif(ByteSource &bytes, qint64 length, const std::atomic<bool> *cancel)
{
    return convertedFrom(readHeifHeader(bytes, 0, cancel), length);
}

// A clip's size as shown, from its header through FFmpeg's demuxers.
Measurement measuredClip(ByteSource &bytes, qint64 length, const std::atomic<bool> *cancel)
{
    Measurement unloaded;
    const ClipService *clips = clipService(&unloaded.error);
    return clips ? convertedFrom(clips->readHeader(bytes, cancel), length) : unloaded;
}

} // namespace

Measurement measureIn(const PictureFolder &folder, const QString &name, bool listedRegular, const std::atomic<bool> *cancel,
                      Candidates which)
{
    const OpenedBytes opened = folder.openBytes(name, listedRegular);
    Measurement measurement;
    if (!opened.bytes) {
        measurement.error = opened.problem.reason;
        measurement.systemFailure = opened.problem.systemFailure;
        return measurement;
    }
    OpenBytes bytes(*opened.bytes, opened.length);
    if (which == Candidates::Album && isClipName(name)) {
        measurement = measuredClip(bytes, opened.length, cancel);
        measurement.stamp = opened.stamp;
        return measurement;
    }
    // A HEIF is looked for only where no picture a browser shows is found.
    measurement = measurementOf(readPictureHeader(bytes, cancel), opened.length);
    if (which == Candidates::Album && !measurement.error.isEmpty() && !measurement.cancelled && isHeifIn(bytes))
        measurement = measuredHeif(bytes, opened.length, cancel);
    measurement.stamp = opened.stamp;
    return measurement;
}

Measurement measurePicture(const QString &path, const std::atomic<bool> *cancel)
{
    const QFileInfo file(path);
    return measureIn(PictureFolder(file.path()), file.fileName(), false, cancel);
}
