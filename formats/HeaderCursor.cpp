#include "HeaderCursor.h"

namespace {
// Big enough for a typical header in one read, small enough that skipping
// thousands of segments reads little.
constexpr qint64 windowSize = 4096;
// After a jump over a skipped segment only its marker and length are wanted.
constexpr qint64 jumpSize = 64;
} // namespace

HeaderCursor::HeaderCursor(ByteSource &source)
    : m_source(source)
{
}

bool HeaderCursor::fill(qint64 count)
{
    const qint64 offset = m_position - m_windowStart;
    if (m_position >= m_windowStart && offset + count <= m_window.size())
        return true;
    const bool onward = m_window.isEmpty() || m_position == m_windowStart + m_window.size();
    // Never ask past the end: a small file is read in one call, not two.
    const qint64 left = std::max<qint64>(m_source.size() - m_position, 0);
    const qint64 wanted = std::min(std::max(count, onward ? windowSize : jumpSize), std::max(left, count));
    m_window.resize(wanted);
    m_windowStart = m_position;
    qint64 got = 0;
    while (got < wanted) {
        const qint64 step = m_source.readAt(m_position + got, m_window.data() + got, wanted - got);
        if (step < 0) {
            m_ioError = m_source.errorString();
            break;
        }
        if (step == 0)
            break;
        got += step;
    }
    m_window.resize(got);
    return got >= count;
}

bool HeaderCursor::slowU8(quint8 &value)
{
    if (!fill(1))
        return false;
    value = static_cast<quint8>(m_window.constData()[m_position++ - m_windowStart]);
    return true;
}

bool HeaderCursor::read(qint64 count, QByteArray &into)
{
    const bool whole = fill(count);
    const qint64 offset = m_position - m_windowStart;
    const qint64 available = std::clamp<qint64>(m_window.size() - offset, 0, count);
    into = m_window.mid(offset, available);
    m_position += available;
    return whole;
}

bool HeaderCursor::have(qint64 count)
{
    return fill(count);
}
