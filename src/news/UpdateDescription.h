#pragma once
// The vendor's update description, an INI text naming the published version.

#include <QByteArray>

struct TUpdateDescription
{
    QByteArray Name;    // read but not used
    QByteArray Version; // exactly as written; empty when absent
};

// Reads the "APPLICATION" section of an INI text; section and key names match
// without regard to case, the first of repeated keys wins.
TUpdateDescription ReadUpdateDescription(const QByteArray &iniText);

// A decimal number written with a point, whatever the user's locale; any
// other text, the empty one included, is 0.
double VersionNumber(const QByteArray &text);
