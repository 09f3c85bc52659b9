#pragma once

#include <QtGlobal>

#include <cstddef>
#include <utility>
#include <vector>

/**
 * Puts the count items of list in a new order where they stand, cycle by
 * cycle, each moved once: from(i) is where the item that goes to place i is
 * now. A second list of a hundred thousand items would double what a run
 * holds while it is sorted.
 */
template <typename List, typename From>
void putInOrder(List &list, qsizetype count, From from)
{
    std::vector<bool> placed(std::size_t(count), false);
    for (qsizetype start = 0; start < count; ++start) {
        if (placed[std::size_t(start)])
            continue;
        auto held = std::move(list[start]);
        for (qsizetype at = start;;) {
            placed[std::size_t(at)] = true;
            const qsizetype source = from(at);
            if (source == start) {
                list[at] = std::move(held);
                break;
            }
            list[at] = std::move(list[source]);
            at = source;
        }
    }
}
