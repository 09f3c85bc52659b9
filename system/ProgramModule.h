#pragma once

#include <QString>

#include <functional>

/**
 * Loads the program's own module lib<baseName> ("vimbrel-clips") from beside
 * the program (a build, or a copy run from its folder), then from where it
 * is installed, and returns what its entry point entry returns when accept
 * takes it; null when none can be, with the reasons in problem. A module
 * taken stays loaded for the rest of the process. Needs the application
 * object, for the program's own folder.
 */
const void *loadProgramModule(const QString &baseName, const char *entry, const std::function<bool(const void *)> &accept,
                              QString &problem);

/** A module's service once loaded, or why it is not, in a user's words. */
template <typename Service>
struct ModuleService {
    const Service *service = nullptr;
    QString problem;
};

/**
 * Loads the module lib<baseName> as loadProgramModule() does and takes its
 * service when it is of this program's version (Service::version); else
 * the problem says what cannot be done ("Clips cannot be read") and names
 * the module (what it is: "clip module").
 */
template <typename Service>
ModuleService<Service> loadModuleService(const QString &baseName, const char *entry, const QString &cannot, const QString &what)
{
    QString problem;
    const auto *service = static_cast<const Service *>(loadProgramModule(
        baseName, entry,
        [](const void *module) { return static_cast<const Service *>(module)->moduleVersion == Service::version; }, problem));
    if (service)
        return {service, {}};
    return {nullptr, QStringLiteral("%1: the program's %2 (lib%3) could not be loaded: %4.").arg(cannot, what, baseName, problem)};
}
