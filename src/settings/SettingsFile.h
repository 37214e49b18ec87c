#pragma once
// dbsettings.dat: the reseller's encrypted settings beside the program. The
// file is decrypted and re-encrypted in memory only; no plain copy is ever
// written to disk.

#include "settings/ProgramSettings.h"

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <optional>

inline constexpr char SettingsFileName[] = "dbsettings.dat";

// The Make Money button's designed caption, kept when the entry is empty.
inline constexpr char DefaultMakeMoneyCaption[] = "Make Money";

// The affiliate address carries this where the affiliate id goes.
inline constexpr char AffiliatePlaceholder[] = "%%AFFILIATEID%%";

// Families of numbered entries hold at most this many.
inline constexpr int MaxNumberedEntries = 16;

// What the start-up pass reads from the plain settings text.
struct TSettingsPass
{
    TProgramSettings Settings;
    QByteArray MakeMoneyCaption; // the entry as read; empty when absent
};

// The start-up pass over a plain settings text (read as lines and rejoined
// with CR LF first). Random choices come from the given generator.
TSettingsPass ReadSettingsText(const QByteArray &plainText, QRandomGenerator &random);

// The caption the Make Money button shows for a pass.
inline QByteArray ShownMakeMoneyCaption(const TSettingsPass &pass)
{
    return pass.MakeMoneyCaption.isEmpty() ? QByteArray(DefaultMakeMoneyCaption)
                                           : pass.MakeMoneyCaption;
}

// Whether btnNews is shown: the tier (compared exactly) has both its news
// address and its publisher id; "Free" goes by the Master pair.
bool NewsButtonVisible(const TProgramSettings &settings);

// The part of a banner entry's image name that picks the picture format: what
// follows the last '\' or ':' (a '/' is kept, it names a subfolder).
QByteArray BannerFileName(const QByteArray &bannerImage);

// One cut of the start-up pass, as made on the working text.
struct TSettingsEntryTrace
{
    QByteArray Tag;         // "ApplicationName", or a family name such as "Welcome"
    int Number = 0;         // 1.. within a family; 0 for the single entries
    QByteArray Value;       // as cut, before any replacement
    qsizetype StartAt = -1; // offset of the start marker in the rejoined text; -1: not found
    bool EndMissing = false;

    QByteArray Name() const { return Number ? Tag + QByteArray::number(Number) : Tag; }
    bool Found() const { return StartAt >= 0; }
};

// Everything the start-up pass cuts, before its random choices: the rejoined
// text, every cut in the order made (a family's list ends with the cut that
// stopped it, unless it stopped after the last number), and the members of
// each family that were read.
struct TSettingsTrace
{
    QByteArray Text;
    QList<TSettingsEntryTrace> Entries;
    QList<QByteArray> Welcomes;
    QList<QByteArray> Banners;
    QList<QByteArray> Links;
};

TSettingsTrace TraceSettingsText(const QByteArray &plainText);

// The tags of the single entries, in reading order.
QList<QByteArray> SettingsEntryTags();

// The plain text of the settings file in the folder (which ends with a
// separator). nullopt when the file does not exist or cannot be read; an
// empty text when it fails its check (wrong password, damaged).
std::optional<QByteArray> ReadSettingsPlain(const QString &programFolder);

// The stored identifier of the last news item read; empty when there is none.
QByteArray ReadLastNewsId(const QString &programFolder);

// Stores the identifier in the settings file; one that may not be stored is
// not written. Never replaces a file that
// fails to decrypt, and never leaves a half-written file; a folder that
// cannot be written leaves everything as it was.
void WriteLastNewsId(const QString &programFolder, const QByteArray &value);

// Whether an identifier may be stored: one holding a line break, a zero byte
// or "<%%" could add entries of its own to the settings file.
bool IsStorableNewsId(const QByteArray &value);

// The settings text with the identifier stored: the span from the first
// "<%%LastNewsId%%>" (letter case ignored, as the reader finds it) to its end
// marker on that line, or to the line's end, is replaced; without one, a line
// is inserted where the reader's text ends (before a zero byte, else at the
// end). Every other byte is kept as it was. An identifier that may not be
// stored leaves the text unchanged.
QByteArray WithLastNewsId(const QByteArray &plainText, const QByteArray &value);
