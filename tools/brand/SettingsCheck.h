#pragma once
// What `tarnwick-brand check` says about a plain settings text: the entries
// the program reads, in its order, and everything it would silently read as
// empty or ignore.

#include <QByteArray>
#include <QList>
#include <QString>

struct TSettingsReport
{
    QList<QByteArray> Listing; // one line per entry, without line break
    QList<QByteArray> Warnings;
};

// folder: where the settings file lies (and its banner files should).
TSettingsReport CheckSettingsText(const QByteArray &plainText, const QString &folder);

// A complete, commented settings text that CheckSettingsText passes once
// its banner files lie beside it.
QByteArray SettingsTemplate();
