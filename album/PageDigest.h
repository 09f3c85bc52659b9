#pragma once

#include <QStringView>

#include <cstring>

namespace GalleryPage {

// FNV-1a over eight bytes at a time: the same in every process, where
// qHash() is seeded afresh each time.
class Digest
{
public:
    void add(const void *data, std::size_t size)
    {
        const auto *bytes = static_cast<const unsigned char *>(data);
        std::size_t i = 0;
        for (; i + 8 <= size; i += 8) {
            quint64 word;
            std::memcpy(&word, bytes + i, 8);
            m_value = (m_value ^ word) * 0x100000001b3ULL;
            m_value ^= m_value >> 29;
        }
        for (; i < size; ++i)
            m_value = (m_value ^ bytes[i]) * 0x100000001b3ULL;
    }
    void add(QStringView text)
    {
        add(text.utf16(), std::size_t(text.size()) * sizeof(char16_t));
        add(qint64(text.size())); // "ab" + "c" is not "a" + "bc"
    }
    void add(qint64 number) { add(&number, sizeof number); }
    quint64 value() const { return m_value; }

private:
    quint64 m_value = 0xcbf29ce484222325ULL;
};

} // namespace GalleryPage
