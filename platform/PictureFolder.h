#pragma once

#include "platform/PictureMeasure.h"

#include <QString>

#include <memory>

/**
 * The folder of a generation run, opened once: its pictures are opened by
 * name relative to it, so the folder's path is looked up once and its length
 * never matters. Measuring is as measurePicture() does it, with the length
 * from the same open file. measure() may run on several threads at once.
 */
class PictureFolder
{
public:
    explicit PictureFolder(const QString &folder);
    ~PictureFolder();
    PictureFolder(const PictureFolder &) = delete;
    PictureFolder &operator=(const PictureFolder &) = delete;

    /**
     * Measures the picture called name. listedRegular says the folder listing
     * already knows it is a plain file, which saves a look before opening.
     */
    Measurement measure(const QString &name, bool listedRegular, const std::atomic<bool> *cancel) const;

private:
    QString m_folder;
    int m_fd = -1;
    int m_openError = 0; // why the folder could not be opened, as the system said
};
