#include "ClipService.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

namespace {

struct Loaded {
    const ClipService *service = nullptr;
    QString problem;
};

// Beside the program first (a build, or a copy run from its folder), then
// where it is installed.
QStringList folders()
{
    if (!QCoreApplication::instance())
        return {};
    const QString program = QCoreApplication::applicationDirPath();
    return {program, QDir::cleanPath(QDir(program).filePath(QStringLiteral(VIMBREL_MODULE_FROM_PROGRAM)))};
}

Loaded load()
{
    Loaded loaded;
    QStringList tried;
    const QStringList where = folders();
    for (const QString &folder : where) {
        // Only a module that is there is tried: the system's own reasons for the rest say nothing a user needs.
        if (QDir(folder).entryList({QStringLiteral("libvimbrel-clips.*")}, QDir::Files).isEmpty())
            continue;
        QLibrary module(QDir(folder).filePath(QStringLiteral("libvimbrel-clips")));
        if (!module.load()) {
            tried.append(module.errorString());
            continue;
        }
        using Entry = const ClipService *(*)();
        const auto entry = reinterpret_cast<Entry>(module.resolve(clipServiceEntry));
        const ClipService *service = entry ? entry() : nullptr;
        if (service && service->moduleVersion == ClipService::version) {
            loaded.service = service; // the module stays loaded for the rest of the process
            return loaded;
        }
        tried.append(QStringLiteral("%1 is of another version of the program").arg(module.fileName()));
        module.unload();
    }
    if (tried.isEmpty())
        tried.append(QStringLiteral("it is in none of %1").arg(where.join(QStringLiteral(", "))));
    loaded.problem = QStringLiteral("Clips cannot be read: the program's clip module (libvimbrel-clips) could not be loaded: %1.")
                         .arg(tried.join(QStringLiteral("; ")));
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
