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
    bool u8(quint8 &value)
    {
        // Headers are read a byte at a time: the byte in the window is taken here, the rest in fill().
        const qint64 offset = m_position - m_windowStart;
        if (offset >= 0 && offset < m_window.size()) {
            value = static_cast<quint8>(m_window.constData()[offset]);
            ++m_position;
            return true;
        }
        return slowU8(value);
    }
    bool u16be(quint16 &value)
    {
        quint8 high = 0, low = 0;
        if (!u8(high) || !u8(low))
            return false;
        value = quint16((high << 8) | low);
        return true;
    }
    bool u16le(quint16 &value)
    {
        quint8 high = 0, low = 0;
        if (!u8(low) || !u8(high))
            return false;
        value = quint16((high << 8) | low);
        return true;
    }
    bool read(qint64 count, QByteArray &into); // into holds what could be read
    /**
     * Returns the next count bytes (a few KiB at most), valid until the next
     * read, and moves past them; null when the source ends first.
     */
    const quint8 *take(qint64 count)
    {
        if (!fill(count))
            return nullptr;
        const auto *at = reinterpret_cast<const quint8 *>(m_window.constData()) + (m_position - m_windowStart);
        m_position += count;
        return at;
    }
    bool have(qint64 count);                   // count more bytes are there

    /** Returns the reason of a failed read, empty when the source simply ended. */
    QString ioError() const { return m_ioError; }

private:
    bool fill(qint64 count);
    bool slowU8(quint8 &value);

    ByteSource &m_source;
    QByteArray m_window;
    qint64 m_windowStart = 0;
    qint64 m_position = 0;
    QString m_ioError;
};
