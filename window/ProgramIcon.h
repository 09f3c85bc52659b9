#pragma once

#include <QIcon>
#include <QString>

/**
 * The program's icon. The desktop's icon theme wins where it has one under
 * the desktop id, so the window shows the icon the menu entry shows (a
 * distribution or a theme may draw its own); elsewhere the icon built into
 * the program, at every size make_icon.py draws.
 */
QIcon programIcon();

/** Returns the name the icon has in the icon theme: the desktop id. */
QString programIconName();
