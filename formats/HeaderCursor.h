#pragma once

#include "formats/PictureHeader.h"

#include <QByteArray>

/**
 * Reads a picture header through a small window on a ByteSource: a skip
 * costs no read, so a header behind gigabytes of comments reads kilobytes.
 */
class HeaderCursor
{
public:
    explicit HeaderCursor(ByteSource &source);

    qint64 position() const { return m_position; }
    qint64 size() const { return m_source.size(); }
    void seek(qint64 position) { m_position = position; }

    /** Each returns false when the source ends first or cannot be read. */
    bool u8(quint8 &value);
    bool u16be(quint16 &value);
    bool u16le(quint16 &value);
    bool read(qint64 count, QByteArray &into); // into holds what could be read
    bool have(qint64 count);                   // count more bytes are there

    /** Returns the reason of a failed read, empty when the source simply ended. */
    QString ioError() const { return m_ioError; }

private:
    bool fill(qint64 count);

    ByteSource &m_source;
    QByteArray m_window;
    qint64 m_windowStart = 0;
    qint64 m_position = 0;
    QString m_ioError;
};
