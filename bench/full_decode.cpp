// The baseline: what measuring costs when every picture is decoded in full.
#include "catalogue/CandidateRule.h"

#include <QCoreApplication>
#include <QDir>
#include <QImageReader>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (app.arguments().size() != 2) {
        std::fputs("usage: full_decode FOLDER\n", stderr);
        return 2;
    }
    QImageReader::setAllocationLimit(0); // the baseline decodes whatever it is given
    const QDir folder(app.arguments().at(1));
    qint64 pixels = 0;
    for (const QString &name : folder.entryList(QDir::Files, QDir::Name)) {
        if (!isCandidateName(name))
            continue;
        QImageReader reader(folder.filePath(name));
        pixels += reader.read().sizeInBytes();
    }
    std::printf("%lld bytes decoded\n", static_cast<long long>(pixels));
    return 0;
}
