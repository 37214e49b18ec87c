#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

class TKeywordList;
class IStatusBar;

// Adds the lines of a text file to the list, numbered on from the rows
// already there, and sets the row-count text to "Total: " + the row count.
// A path that names no file does nothing; a file that cannot be read throws
// std::runtime_error and leaves the list as it was.
void AddKeywordsFromFile(const QString &path, TKeywordList &list, IStatusBar &status);

// The same for a file's contents already read.
void AddKeywordsFromText(const QByteArray &data, TKeywordList &list, IStatusBar &status);
