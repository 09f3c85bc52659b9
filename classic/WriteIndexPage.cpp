#include "WriteIndexPage.h"

#include "classic/PageFormat.h"
#include "system/PageOutput.h"

#include <QDir>


PageWrite WriteIndexPage(PictureCatalogue &catalogue, PageBatch &batch, qint64 iIndex)
{
    if (catalogue.isEmpty())
        return {};

    const qint64 taken = std::min<qint64>(catalogue.count(), picturesPerPage);
    const bool more = catalogue.count() > taken;
    QByteArray page = PageFormat::head(iIndex);
    page.reserve(page.size() + taken * 256 + 256); // a picture's lines are some 100 bytes and its name twice
    for (qint64 i = 0; i < taken; ++i)
        PageFormat::appendPictureLines(page, catalogue.at(i));
    page += PageFormat::tail(more ? iIndex + 1 : 0);

    if (QString error = batch.stage(PageFormat::fileName(iIndex), page); !error.isEmpty())
        return {false, error};
    catalogue.removeFirst(taken); // only once the page is safely staged
    return {more, {}};
}

PageWrite WriteIndexPage(PictureCatalogue &catalogue, const QString &folder, qint64 iIndex)
{
    PageBatch batch(folder);
    PictureCatalogue kept = catalogue;
    PageWrite written = WriteIndexPage(catalogue, batch, iIndex);
    if (written.error.isEmpty())
        written.error = batch.commit();
    if (!written.error.isEmpty()) {
        catalogue = std::move(kept); // on failure the catalogue is left as it was
        written.more = false;
    }
    return written;
}
