#pragma once

#include "catalogue/PictureCatalogue.h"

#include <QString>

class PageBatch;

struct PageWrite {
    bool more = false; // a page was written and records remain for the next one
    QString error;     // names the page file and the reason; empty on success
};

/**
 * Writes page iIndex of folder from the first ten records of catalogue,
 * removing them, and links to page iIndex + 1 when records remain. Writes
 * nothing when catalogue is empty. The page file is written whole or not at
 * all; on failure the catalogue is left as it was.
 */
PageWrite WriteIndexPage(PictureCatalogue &catalogue, const QString &folder, qint64 iIndex);

/**
 * As above, but the page is staged in batch, to be put in place with the
 * batch's other pages by PageBatch::commit().
 */
PageWrite WriteIndexPage(PictureCatalogue &catalogue, PageBatch &batch, qint64 iIndex);
