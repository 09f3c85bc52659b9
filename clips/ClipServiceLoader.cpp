#include "ClipService.h"

#include "system/ProgramModule.h"

namespace {

struct Loaded {
    const ClipService *service = nullptr;
    QString problem;
};

Loaded load()
{
    Loaded loaded;
    QString problem;
    loaded.service = static_cast<const ClipService *>(loadProgramModule(
        QStringLiteral("vimbrel-clips"), clipServiceEntry,
        [](const void *service) { return static_cast<const ClipService *>(service)->moduleVersion == ClipService::version; },
        problem));
    if (!loaded.service)
        loaded.problem = QStringLiteral("Clips cannot be read: the program's clip module (libvimbrel-clips) could not be loaded: %1.")
                             .arg(problem);
    return loaded;
}

} // namespace

const ClipService *clipService(QString *problem)
{
    static const Loaded loaded = load(); // once, on whichever thread meets a clip first
    if (!loaded.service && problem)
        *problem = loaded.problem;
    return loaded.service;
}
