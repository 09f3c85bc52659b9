#pragma once

/**
 * The headless front: --generate FOLDER, --help and --version. It needs no
 * display and leaves the settings entry alone.
 */
namespace CommandLine {

/** Returns true when the arguments ask for the command line rather than the window. */
bool wanted(int argc, char **argv);

/** Runs the command line under an existing QCoreApplication; returns the exit code. */
int run();

} // namespace CommandLine
