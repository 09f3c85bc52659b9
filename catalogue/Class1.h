#pragma once

#include <QString>

/**
 * The holder that shows a picture in the window has a one-pixel border on
 * each side; the pages have always carried that outer size.
 */
inline constexpr int holderBorder = 1; // pixels on each side

/** Pictures on one index page. */
inline constexpr int picturesPerPage = 10;

/** The picture record: one measured picture as the pages carry it. */
struct Class1 {
    QString FileName;    // bare name, as the folder listed it
    QString FileSize;    // length in bytes as plain decimal digits
    qint64 imHauteur = 0; // displayed height plus the holder's border, both sides
    qint64 imLargeur = 0; // displayed width plus the holder's border, both sides
};
