#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

/**
 * File and folder names as the system stores them. On Unix a name is bytes
 * that need not be valid UTF-8; each byte that is not part of valid UTF-8 is
 * kept in the text as a lone surrogate U+DC80..U+DCFF, so every name read
 * from the system goes back to it unchanged.
 */
namespace NativeName {

/** Returns the text of the system name bytes, keeping undecodable bytes. */
QString decode(QByteArrayView bytes);

/** Returns the system name bytes of text, the inverse of decode(). */
QByteArray encode(const QString &text);

/** Returns false when text holds a byte kept by decode() that is not valid UTF-8. */
bool isValidText(const QString &text);

/**
 * Returns true for a character that reorders the text around it or shows as
 * nothing (bidirectional controls, zero width spaces, fillers), so that a
 * name holding it could pass for another.
 */
bool hidesOrReorders(char32_t c);

/**
 * Returns text fit to print on one line of a report: controls as \n, \t,
 * \r or \xHH, and kept bytes as \xHH, so no file name can forge a line;
 * line separators and the characters that reorder text or show as nothing
 * (bidirectional controls, zero width spaces, fillers) as \uHHHH, so none
 * can pass for another name.
 */
QString printable(const QString &text);

} // namespace NativeName
