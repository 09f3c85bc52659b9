#pragma once

#include <QStringList>

/**
 * The headless front: --generate FOLDER, --help and --version. It needs no
 * display and leaves the settings entry alone.
 */
namespace CommandLine {

/** Returns true when the arguments ask for the command line rather than the window. */
bool wanted(int argc, char **argv);

/**
 * Runs the command line under an existing QCoreApplication over the
 * arguments as the system gave them, so a folder whose name is not valid
 * text keeps its bytes; returns the exit code.
 */
int run(int argc, char **argv);

/** Returns the arguments as the system gave them, every byte kept. */
QStringList arguments(int argc, char **argv);

} // namespace CommandLine
