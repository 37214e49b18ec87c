#pragma once
// Byte-string routines behind every page, file and reply parser, and the one
// call that hands an address to the user's browser. All texts are 8-bit bytes;
// positions and lengths count bytes.

#include <QByteArray>
#include <QList>

// Cuts the text between two markers (ASCII letters compared without case) and
// consumes the scanned text up to the end marker, which stays at its head, so
// that the next call goes on from there. A missing start marker returns an
// empty string and leaves the scanned text alone; a missing end marker returns
// an empty string and leaves what follows the start marker. A non-zero offset
// moves both cut points by that many bytes.
QByteArray CutBetween(QByteArray &scanned, const QByteArray &startMarker,
                      const QByteArray &endMarker, int offset = 0);

// Replaces the leftmost occurrence again and again, each time searching the
// whole result anew, until none is left: "&amp;amp;" with "&amp;" -> "&"
// gives "&". The replacement must not contain the searched text.
QByteArray ReplaceAllRescan(const QByteArray &source, const QByteArray &searched,
                            const QByteArray &replacement);

// Turns a table cell into plain text: unfolds a fixed set of entities and tags
// (exact spelling only), then trims every byte <= 32 from both ends.
QByteArray HtmlToText(const QByteArray &html);

// Fills pieces with the fields between separators. Empty fields count, except
// an empty last field.
void SplitByChar(char separator, const QByteArray &source, QList<QByteArray> &pieces);

// Decodes "$XX" escapes. A malformed escape makes the whole result empty.
QByteArray DecodeDollarHex(const QByteArray &source);

// Starts the default browser with the address as its only parameter. False
// when no browser command is registered.
bool OpenURL(const QByteArray &address);
