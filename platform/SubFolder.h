#pragma once

#include <QString>

/**
 * Makes the folder name inside folder, or keeps it when it is already there.
 * A link of that name is refused, never followed, and so is anything else
 * that is not a folder. Returns an empty text on success, else a message
 * naming the sub-folder and the reason. Safe on any thread.
 */
QString makeSubFolder(const QString &folder, const QString &name);

/**
 * Removes the file name from folder/subFolder; the sub-folder is opened
 * without following a link, so nothing outside it can be removed. A link of
 * that name is removed itself, never its target; a folder is refused.
 * Returns an empty text on success or when the file is already gone.
 */
QString removeFromSubFolder(const QString &folder, const QString &subFolder, const QString &name);
