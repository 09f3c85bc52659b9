#include "ClipService.h"

#include "system/ProgramModule.h"

const ClipService *clipService(QString *problem)
{
    // Once, on whichever thread meets a clip first.
    static const ModuleService<ClipService> loaded = loadModuleService<ClipService>(
        QStringLiteral("vimbrel-clips"), clipServiceEntry, QStringLiteral("Clips cannot be read"), QStringLiteral("clip module"));
    if (!loaded.service && problem)
        *problem = loaded.problem;
    return loaded.service;
}
