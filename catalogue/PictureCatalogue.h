#pragma once

#include "catalogue/Class1.h"

#include <deque>

/** The ordered picture records of one folder; the page writer takes them from the front. */
class PictureCatalogue
{
public:
    void append(Class1 record) { m_records.push_back(std::move(record)); }
    qint64 count() const { return qint64(m_records.size()); }
    bool isEmpty() const { return m_records.empty(); }
    const Class1 &first() const { return m_records.front(); }
    const Class1 &at(qint64 position) const { return m_records.at(std::size_t(position)); }
    Class1 &at(qint64 position) { return m_records.at(std::size_t(position)); }
    /** Keeps, in order, the records at the positions for which keep is true. */
    template <typename Keep>
    void keepOnly(Keep keep)
    {
        std::size_t to = 0;
        for (std::size_t from = 0; from < m_records.size(); ++from) {
            if (keep(qint64(from)))
                m_records[to++] = std::move(m_records[from]);
        }
        m_records.resize(to);
    }
    void removeFirst(qint64 n = 1) { m_records.erase(m_records.begin(), m_records.begin() + n); }

private:
    std::deque<Class1> m_records;
};
