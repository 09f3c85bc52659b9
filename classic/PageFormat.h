#pragma once

#include "catalogue/Class1.h"

#include <QByteArray>
#include <QString>

/**
 * The index page file format, exact to the byte: single-byte text, every
 * line ended by CR LF. A page is its head, two lines per picture, and its
 * tail.
 */
namespace PageFormat {

/** Returns the head of page number page: doctype to the page title line. */
QByteArray head(qint64 page);

/** Returns the picture line of record and the empty line after it. */
QByteArray pictureLines(const Class1 &record);
/** Appends pictureLines(record) to page. */
void appendPictureLines(QByteArray &page, const Class1 &record);

/** Returns the tail; nextPage > 0 adds the link to that page. */
QByteArray tail(qint64 nextPage);

/**
 * Returns name as visible page text: & < > " as entities, controls and every
 * non-ASCII character as numeric character references, the rest as it stands.
 */
QByteArray visibleName(const QString &name);
/** Appends visibleName(name) to text. */
void appendVisibleName(QByteArray &text, const QString &name);

/**
 * Returns name as an image source inside a double-quoted attribute: its
 * UTF-8 bytes, with quotes, #, %, ?, <, >, backslash, colons, controls,
 * non-ASCII and the spaces at either end percent-encoded and & written as
 * &amp;, so that a browser resolves it to that very file.
 */
QByteArray imageSource(const QString &name);
/** Appends imageSource(name) to text. */
void appendImageSource(QByteArray &text, const QString &name);

/** Returns the file name of page number page: "index" page ".htm". */
QString fileName(qint64 page);

} // namespace PageFormat
