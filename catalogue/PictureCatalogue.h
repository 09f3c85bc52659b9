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
    void removeFirst(qint64 n = 1) { m_records.erase(m_records.begin(), m_records.begin() + n); }

private:
    std::deque<Class1> m_records;
};
