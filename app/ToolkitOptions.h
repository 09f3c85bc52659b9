#pragma once

#include <QString>
#include <QStringList>

/**
 * Qt's own command-line options (-platform, -style, -reverse...), which
 * QApplication takes for itself. The program's options are told apart from
 * them before any application object exists, because that choice decides
 * whether a QApplication may be made at all.
 */
namespace ToolkitOptions {

/**
 * Returns arguments without Qt's options and their values. Everything from
 * "--" on is kept as it is: past it, a name that starts with a dash is a
 * folder.
 */
QStringList removed(const QStringList &arguments);

/** Returns the value given to Qt's option name (without its dash), or a null string. */
QString value(const QStringList &arguments, const QString &name);

} // namespace ToolkitOptions
