#pragma once

#include <QString>

/** The program's title, version and contact address, defined once for every front. */
namespace ProgramInfo {

inline constexpr int versionMajor = VIMBREL_VERSION_MAJOR;
inline constexpr int versionMinor = VIMBREL_VERSION_MINOR;
inline constexpr int versionRevision = VIMBREL_VERSION_PATCH;

inline QString title() { return QStringLiteral("Vimbrel"); }

/** Returns "1.0.6": each number in plain decimal. */
inline QString version()
{
    return QStringLiteral("%1.%2.%3").arg(versionMajor).arg(versionMinor).arg(versionRevision);
}

/** The program icon embedded in the program, made by resources/make_icon.py. */
inline QString iconResource() { return QStringLiteral(":/vimbrel/vimbrel.ico"); }

/** The address the pages and the About box name for contact. */
inline constexpr char contactAddress[] = VIMBREL_CONTACT;

} // namespace ProgramInfo
