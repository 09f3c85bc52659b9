#pragma once

#include <QString>

/** The picture record: one measured picture as the pages carry it. */
struct Class1 {
    QString FileName;    // bare name, as the folder listed it
    QString FileSize;    // length in bytes as plain decimal digits
    qint64 imHauteur = 0; // displayed height plus the holder's 2-pixel border
    qint64 imLargeur = 0; // displayed width plus the holder's 2-pixel border
};
