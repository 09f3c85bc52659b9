#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

/**
 * Which filesystems the drive list offers. A "drive" is a filesystem root a
 * person would pick: a drive letter's root, "/", or a disk mounted under
 * /home, /media, /mnt, /run/media or /Volumes. Pseudo and system filesystems
 * are never drives.
 */
namespace DriveRoots {

/** Returns true when a filesystem mounted at rootPath (with '/' separators) of fileSystemType is a drive. */
bool isUserDrive(const QString &rootPath, const QByteArray &fileSystemType);

/** Returns the root paths of the mounted drives that can be listed, in name order. */
QStringList mountedDrives();

/** Returns the root among roots that holds path (the longest that is a prefix), or an empty text. */
QString driveHolding(const QStringList &roots, const QString &path);

} // namespace DriveRoots
