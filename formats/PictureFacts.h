#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

/** What a photograph says of itself, as a picture page shows it; each empty when it does not say. */
struct PictureFacts {
    QDateTime taken;     // when it was taken, as the camera's clock said; invalid when unknown
    QString camera;      // "Canon EOS 5D": the model, with the make when the model does not start with it
    QString exposure;    // "1/250 s", "2 s"
    QString aperture;    // "f/2.8"
    QString iso;         // "ISO 200"
    QString focalLength; // "35 mm"
    QString caption;     // the picture's own description; never the boilerplate a camera writes
    qint64 clipMilliseconds = -1; // a clip's length; -1 for a still picture
    QString clipCopy;    // a clip's copy that browsers play: "mp4" or "webm"

    bool operator==(const PictureFacts &) const = default;
};

/**
 * Reads what the EXIF segment of a JPEG says (the TIFF structure after
 * "Exif\0\0"): the date taken, camera, exposure, aperture, ISO, focal length
 * and description. Bounded by the segment: every offset is checked, at most
 * a few hundred entries are read, and nothing is followed outside it.
 */
void readExifFacts(const QByteArray &tiff, PictureFacts &facts);

/** Takes the caption from an XMP packet's dc:description, when facts has none yet. */
void readXmpCaption(const QByteArray &xmp, PictureFacts &facts);

/** Takes the caption from a Photoshop APP13 segment's IPTC caption (2:120), when facts has none yet. */
void readIptcCaption(const QByteArray &photoshop, PictureFacts &facts);

/** Returns true when text is what cameras write in place of a caption ("OLYMPUS DIGITAL CAMERA"), or blank. */
bool isBoilerplateCaption(const QString &text);
