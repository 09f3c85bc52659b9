// The HEIF module's one entry point: what the program asks of libheif.
#include "formats/HeifLibrary.h"
#include "formats/HeifService.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT const HeifService *vimbrelHeifService()
{
    static const HeifService service{HeifService::version, &readHeifHeaderWithLibheif, &decodeHeifWithLibheif};
    return &service;
}
