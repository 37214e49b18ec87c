#pragma once
#include <QByteArray>
#include <QList>

// Splits 8-bit text into lines as text files are read here: a line ends at
// CR LF, LF or CR; a zero byte ends the text; a line break at the very end
// adds no line; empty lines inside count.
QList<QByteArray> TextLines(const QByteArray &data);

// Joins lines with CR LF after every line, the last included.
QByteArray JoinLinesCrLf(const QList<QByteArray> &lines);
