#include "HeifDecoding.h"

#include "formats/HeifService.h"
#include "system/ProgramModule.h"

#include <QtEndian>

#include <algorithm>
#include <array>

namespace {

// Still-picture brands: HEIF, HEIC (iPhones), AVIF.
constexpr std::array<QByteArrayView, 7> stillBrands{"mif1", "heic", "heix", "heim", "heis", "avif", "miaf"};

bool isStillBrand(QByteArrayView brand)
{
    return std::find(stillBrands.begin(), stillBrands.end(), brand) != stillBrands.end();
}

} // namespace

const HeifService *heifService(QString *problem)
{
    // Once, on whichever thread meets a photo first.
    static const ModuleService<HeifService> loaded = loadModuleService<HeifService>(
        QStringLiteral("vimbrel-heif"), heifServiceEntry, QStringLiteral("HEIC and AVIF photos cannot be read"),
        QStringLiteral("HEIF module"));
    if (!loaded.service && problem)
        *problem = loaded.problem;
    return loaded.service;
}

bool isHeif(QByteArrayView start)
{
    if (start.size() < 12 || start.sliced(4, 4) != "ftyp")
        return false;
    if (isStillBrand(start.sliced(8, 4)))
        return true;
    const qint64 box = qFromBigEndian<quint32>(start.data());
    for (qsizetype at = 16; at + 4 <= std::min<qint64>(box, start.size()); at += 4) {
        if (isStillBrand(start.sliced(at, 4)))
            return true;
    }
    return false;
}

HeifHeader readHeifHeader(ByteSource &source, qint64 workingBytes, const std::atomic<bool> *stop)
{
    HeifHeader header;
    if (const HeifService *service = heifService(&header.problem))
        return service->readHeader(source, workingBytes, stop);
    return header;
}

HeifDecoded decodeHeif(ByteSource &source, const HeifLimits &limits)
{
    HeifDecoded decoded;
    if (const HeifService *service = heifService(&decoded.problem))
        return service->decode(source, limits);
    return decoded;
}
