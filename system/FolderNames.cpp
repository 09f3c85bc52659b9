#include "FolderNames.h"

#include "system/FolderEnumeration.h"
#include "system/NativeName.h"

#include <QHashFunctions>

#include <algorithm>
#include <bit>
#include <limits>

namespace {

std::size_t hashOf(QByteArrayView name)
{
    return qHash(name, 0);
}

// The system's bytes of stem and suffix together, without a string for them:
// a name in ASCII, as most are, is copied as it stands.
void encodeInto(QVarLengthArray<char, 256> &bytes, QStringView stem, QLatin1StringView suffix)
{
    const bool ascii = std::all_of(stem.cbegin(), stem.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii) {
        bytes.resize(stem.size() + suffix.size());
        char *out = bytes.data();
        for (const QChar c : stem)
            *out++ = char(c.unicode());
        std::copy(suffix.begin(), suffix.end(), out);
        return;
    }
    const QByteArray encoded = NativeName::encode(stem.toString());
    bytes.clear();
    bytes.append(encoded.constData(), encoded.size());
    bytes.append(suffix.data(), suffix.size());
}

} // namespace

FolderNames FolderNames::list(const FolderHandle &folder, const std::function<bool(QByteArrayView)> &setAside)
{
    FolderNames names;
    walkEntries(folder, [&names, &setAside](QByteArrayView raw, RawEntryKind kind) {
        if (kind.isFolder)
            return;
        if (setAside && setAside(raw))
            names.m_setAside.append(NativeName::decode(raw));
        else if (kind.isRegular)
            names.add(raw);
    });
    names.m_bytes.squeeze();
    names.m_starts.shrink_to_fit();
    names.buildTable();
    names.m_marked.assign(names.m_starts.size(), 0);
    return names;
}

void FolderNames::add(QByteArrayView name)
{
    // Past four gigabytes of names (no folder holds that many) the rest are
    // not kept: a name not found is made again, never taken for another.
    if (quint64(m_bytes.size()) + quint64(name.size()) >= std::numeric_limits<quint32>::max())
        return;
    m_starts.push_back(quint32(m_bytes.size()));
    m_bytes.append(name);
}

QByteArrayView FolderNames::nameAt(std::size_t index) const
{
    const quint32 start = m_starts[index];
    const quint32 end = index + 1 < m_starts.size() ? m_starts[index + 1] : quint32(m_bytes.size());
    return QByteArrayView(m_bytes).sliced(start, end - start);
}

void FolderNames::buildTable()
{
    // At most half full: a lookup meets one or two names on average.
    const std::size_t capacity = std::bit_ceil(std::max<std::size_t>(16, 2 * m_starts.size()));
    m_table.assign(capacity, 0);
    for (std::size_t i = 0; i < m_starts.size(); ++i) {
        std::size_t slot = hashOf(nameAt(i)) & (capacity - 1);
        while (m_table[slot] != 0)
            slot = (slot + 1) & (capacity - 1);
        m_table[slot] = quint32(i + 1);
    }
}

FolderNames::Key FolderNames::keyOf(QStringView stem, QLatin1StringView suffix)
{
    Key key;
    encodeInto(key.bytes, stem, suffix);
    key.hash = hashOf(QByteArrayView(key.bytes.constData(), key.bytes.size()));
    return key;
}

qsizetype FolderNames::find(const Key &key) const
{
    if (m_starts.empty())
        return -1;
    const QByteArrayView name(key.bytes.constData(), key.bytes.size());
    const std::size_t mask = m_table.size() - 1;
    for (std::size_t slot = key.hash & mask; m_table[slot] != 0; slot = (slot + 1) & mask) {
        const std::size_t index = m_table[slot] - 1;
        if (nameAt(index) == name)
            return qsizetype(index);
    }
    return -1;
}

bool FolderNames::mark(QStringView stem, QLatin1StringView suffix)
{
    const qsizetype index = find(stem, suffix);
    if (index < 0)
        return false;
    markAt(index);
    return true;
}

QStringList FolderNames::unmarked() const
{
    QStringList names;
    for (std::size_t i = 0; i < m_starts.size(); ++i) {
        if (!m_marked[i])
            names.append(NativeName::decode(nameAt(i)));
    }
    return names;
}
