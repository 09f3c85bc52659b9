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
