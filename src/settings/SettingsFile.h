#pragma once
// dbsettings.dat: the reseller's encrypted settings beside the program. The
// file is decrypted and re-encrypted in memory only; no plain copy is ever
// written to disk.

#include "settings/ProgramSettings.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QString>
#include <optional>

inline constexpr char SettingsFileName[] = "dbsettings.dat";

// What the start-up pass reads from the plain settings text.
struct TSettingsPass
{
    TProgramSettings Settings;
    QByteArray MakeMoneyCaption; // the entry as read; empty when absent
};

// The start-up pass over a plain settings text (read as lines and rejoined
// with CR LF first). Random choices come from the given generator.
TSettingsPass ReadSettingsText(const QByteArray &plainText, QRandomGenerator &random);

// The plain text of the settings file in the folder (which ends with a
// separator). nullopt when the file does not exist; an empty text when it
// cannot be read or fails its check (wrong password, damaged).
std::optional<QByteArray> ReadSettingsPlain(const QString &programFolder);

// The stored identifier of the last news item read; empty when there is none.
QByteArray ReadLastNewsId(const QString &programFolder);

// Stores the identifier in the settings file. Never replaces a file that
// fails to decrypt, and never leaves a half-written file; a folder that
// cannot be written leaves everything as it was.
void WriteLastNewsId(const QString &programFolder, const QByteArray &value);
