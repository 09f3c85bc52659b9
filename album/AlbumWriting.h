#pragma once

#include "album/AlbumImages.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <utility>

class DecodeBudget;

/** Memory taken from a decode budget, given back when this goes. */
class BudgetHeld
{
public:
    BudgetHeld() = default;
    BudgetHeld(DecodeBudget &budget, qint64 bytes) : m_budget(&budget), m_bytes(bytes) {}
    BudgetHeld(BudgetHeld &&other) noexcept : m_budget(std::exchange(other.m_budget, nullptr)), m_bytes(other.m_bytes) {}
    BudgetHeld &operator=(BudgetHeld &&other) noexcept
    {
        std::swap(m_budget, other.m_budget);
        std::swap(m_bytes, other.m_bytes);
        return *this;
    }
    BudgetHeld(const BudgetHeld &) = delete;
    BudgetHeld &operator=(const BudgetHeld &) = delete;
    ~BudgetHeld();

private:
    DecodeBudget *m_budget = nullptr;
    qint64 m_bytes = 0;
};

/** Returns image at size, smoothly scaled; image itself when it has that size. */
QImage scaledTo(const QImage &image, QSize size);

/** A picture's album images written, or why not. */
struct ImagesWritten {
    QSize small, large, web; // web invalid when no copy was asked for
    QString error;           // names the file and the reason
    bool fatal = false;      // a file could not be written: the run stops
};

/**
 * Writes the album's JPEG images of a picture shown at shown from image (at
 * least as large as each): the copy at web when it is valid, its HiDPI
 * thumbnail and its thumbnail, each as file in its folder, whole, carrying
 * no metadata, not yet flushed.
 */
ImagesWritten writeImages(const AlbumFolders &folders, const QString &file, const QImage &image, QSize shown, QSize web,
                          int box);
