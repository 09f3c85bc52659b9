#pragma once

#include <QStringList>

class StopSignals;

/**
 * The headless front: --generate FOLDER... (with --gallery and --page-size N
 * for gallery pages), --help and --version. It needs no display and leaves
 * the settings entry alone. Its errors start with "vimbrel: "; a usage
 * error exits with 2, a run that failed with 1.
 */
namespace CommandLine {

/**
 * Returns true when arguments, as arguments() gives them, ask for the command
 * line rather than the window: an option of the program's own, or one
 * unknown, before any "--". Qt's own options ask for neither.
 */
bool wanted(const QStringList &arguments);

/**
 * Runs the command line under an existing QCoreApplication over arguments
 * as arguments() gives them; returns the exit code. When stopSignals is given, a
 * stop signal cancels the run in progress and the folders after it: the
 * exit code is then 128 and the signal's number, after one line saying so.
 */
int run(const QStringList &arguments, const StopSignals *stopSignals = nullptr);

/**
 * Returns the arguments as the system gave them, every byte kept, so a
 * folder whose name is not valid text keeps its bytes.
 */
QStringList arguments(int argc, char **argv);

} // namespace CommandLine
