#include "ProgramModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

namespace {

QStringList folders()
{
    if (!QCoreApplication::instance())
        return {};
    const QString program = QCoreApplication::applicationDirPath();
    return {program, QDir::cleanPath(QDir(program).filePath(QStringLiteral(VIMBREL_MODULE_FROM_PROGRAM)))};
}

} // namespace

const void *loadProgramModule(const QString &baseName, const char *entry, const std::function<bool(const void *)> &accept,
                              QString &problem)
{
    const QString fileName = QStringLiteral("lib") + baseName;
    QStringList tried;
    const QStringList where = folders();
    for (const QString &folder : where) {
        // Only a module that is there is tried: the system's own reasons for the rest say nothing a user needs.
        if (QDir(folder).entryList({fileName + QStringLiteral(".*")}, QDir::Files).isEmpty())
            continue;
        QLibrary module(QDir(folder).filePath(fileName));
        if (!module.load()) {
            tried.append(module.errorString());
            continue;
        }
        using Entry = const void *(*)();
        const auto entryPoint = reinterpret_cast<Entry>(module.resolve(entry));
        const void *service = entryPoint ? entryPoint() : nullptr;
        if (service && accept(service))
            return service; // the module stays loaded for the rest of the process
        tried.append(QStringLiteral("%1 is of another version of the program").arg(module.fileName()));
        module.unload();
    }
    if (tried.isEmpty())
        tried.append(QStringLiteral("it is in none of %1").arg(where.join(QStringLiteral(", "))));
    problem = tried.join(QStringLiteral("; "));
    return nullptr;
}
