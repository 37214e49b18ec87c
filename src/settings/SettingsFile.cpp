#include "settings/SettingsFile.h"

#include "base/TextLines.h"
#include "settings/SettingsCipher.h"
#include "util/UUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <array>

namespace {

struct SingleEntry
{
    const char *tag;
    QByteArray TProgramSettings::*field; // null: the Make Money caption, not kept
};

// The file must hold its entries in this order: each is searched only after
// the one before it.
const std::array<SingleEntry, 17> SingleEntries{{
    {"ApplicationName", &TProgramSettings::ApplicationName},
    {"BranderCode", &TProgramSettings::BranderCode},
    {"BranderType", &TProgramSettings::BranderType},
    {"AffiliateURL", &TProgramSettings::AffiliateURL},
    {"AffiliateTYPE", &TProgramSettings::AffiliateTYPE},
    {"AffiliateID", &TProgramSettings::AffiliateID},
    {"MasterNewsBaseURL", &TProgramSettings::MasterNewsBaseURL},
    {"PlatinumNewsBaseURL", &TProgramSettings::PlatinumNewsBaseURL},
    {"GoldNewsBaseURL", &TProgramSettings::GoldNewsBaseURL},
    {"MasterPublID", &TProgramSettings::MasterPublID},
    {"PlatinumPublID", &TProgramSettings::PlatinumPublID},
    {"GoldPublID", &TProgramSettings::GoldPublID},
    {"MakeMoneyButton", nullptr},
    {"AppHelpURL", &TProgramSettings::AppHelpURL},
    {"CopyrightYears", &TProgramSettings::CopyrightYears},
    {"CopyrightCompany", &TProgramSettings::CopyrightCompany},
    {"AboutText", &TProgramSettings::AboutText},
}};

const char LastNewsIdStart[] = "<%%LastNewsId%%>";
const char LastNewsIdEnd[] = "<%%/LastNewsId%%>";

bool StartsWithFolded(const QByteArray &text, const QByteArray &prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        uchar a = uchar(text[i]), b = uchar(prefix[i]);
        if (a >= 'a' && a <= 'z')
            a -= 'a' - 'A';
        if (b >= 'a' && b <= 'z')
            b -= 'a' - 'A';
        if (a != b)
            return false;
    }
    return true;
}

// Where what first stands in text at or after from, letters compared
// without regard to case as the reader compares markers; -1 when nowhere.
qsizetype IndexOfFolded(const QByteArray &text, const QByteArray &what, qsizetype from)
{
    const auto fold = [](uchar c) { return c >= 'a' && c <= 'z' ? uchar(c - ('a' - 'A')) : c; };
    for (qsizetype i = from; i + what.size() <= text.size(); ++i) {
        qsizetype k = 0;
        while (k < what.size() && fold(uchar(text[i + k])) == fold(uchar(what[k])))
            ++k;
        if (k == what.size())
            return i;
    }
    return -1;
}

// Cuts one entry from the working text and notes where it stood. The cut
// only ever drops the working text's head, so what has been dropped tells the
// position in the whole text.
TSettingsEntryTrace Cut(const QByteArray &text, QByteArray &work, const QByteArray &tag, int number)
{
    TSettingsEntryTrace entry;
    entry.Tag = tag;
    entry.Number = number;
    const QByteArray name = entry.Name();
    const QByteArray start = "<%%" + name + "%%>";
    const QByteArray end = "<%%/" + name + "%%>";
    const qsizetype before = text.size() - work.size();
    entry.Value = CutBetween(work, start, end);
    const qsizetype after = text.size() - work.size();
    if (after == before)
        return entry;
    // Found: the working text now starts at the end marker, or, without
    // one, right after the start marker.
    if (StartsWithFolded(work, end)) {
        entry.StartAt = after - entry.Value.size() - start.size();
    } else {
        entry.EndMissing = true;
        entry.StartAt = after - start.size();
    }
    return entry;
}

void CutFamily(TSettingsTrace &trace, QByteArray &work, const QByteArray &tag,
               QList<QByteArray> &members)
{
    for (int number = 1; number <= MaxNumberedEntries; ++number) {
        trace.Entries.append(Cut(trace.Text, work, tag, number));
        const QByteArray &value = trace.Entries.last().Value;
        if (value.isEmpty())
            break;
        members.append(value);
    }
}

int Pick(QRandomGenerator &random, qsizetype count)
{
    return int(random.bounded(quint32(count)));
}

// Both fields of a "caption^address" value; a missing second field is an
// empty address.
std::pair<QByteArray, QByteArray> TwoFields(const QByteArray &value)
{
    QList<QByteArray> pieces;
    SplitByChar('^', value, pieces);
    return {pieces.value(0), pieces.value(1)};
}

QString SettingsPath(const QString &programFolder)
{
    return QDir(programFolder).filePath(QLatin1String(SettingsFileName));
}

} // namespace

QList<QByteArray> SettingsEntryTags()
{
    QList<QByteArray> tags;
    for (const SingleEntry &e : SingleEntries)
        tags.append(e.tag);
    return tags;
}

TSettingsTrace TraceSettingsText(const QByteArray &plainText)
{
    TSettingsTrace trace;
    trace.Text = JoinLinesCrLf(TextLines(plainText));
    QByteArray work = trace.Text;
    for (const SingleEntry &e : SingleEntries)
        trace.Entries.append(Cut(trace.Text, work, e.tag, 0));
    CutFamily(trace, work, "Welcome", trace.Welcomes);
    CutFamily(trace, work, "Banner", trace.Banners);
    CutFamily(trace, work, "Link", trace.Links);
    return trace;
}

TSettingsPass ReadSettingsText(const QByteArray &plainText, QRandomGenerator &random)
{
    TSettingsTrace trace = TraceSettingsText(plainText);
    TSettingsPass pass;
    TProgramSettings &s = pass.Settings;
    for (size_t i = 0; i < SingleEntries.size(); ++i) {
        const QByteArray &value = trace.Entries[qsizetype(i)].Value;
        if (SingleEntries[i].field)
            s.*SingleEntries[i].field = value;
        else
            pass.MakeMoneyCaption = value;
    }
    s.AffiliateURL.replace(AffiliatePlaceholder, s.AffiliateID);

    if (!trace.Welcomes.isEmpty())
        s.WelcomeHTML = trace.Welcomes[Pick(random, trace.Welcomes.size())];
    if (!trace.Banners.isEmpty()) {
        const int i = Pick(random, trace.Banners.size());
        std::tie(s.BannerImage, s.BannerURL) = TwoFields(trace.Banners[i]);
        s.BannerNumber = i + 1;
    }
    QList<QByteArray> &links = trace.Links;
    if (!links.isEmpty()) {
        std::tie(s.Link1Caption, s.Link1URL) = TwoFields(links.takeAt(Pick(random, links.size())));
        if (!links.isEmpty())
            std::tie(s.Link2Caption, s.Link2URL) = TwoFields(links[Pick(random, links.size())]);
    }
    return pass;
}

bool NewsButtonVisible(const TProgramSettings &s)
{
    const auto both = [](const QByteArray &publId, const QByteArray &base) {
        return !publId.isEmpty() && !base.isEmpty();
    };
    const QByteArray &type = s.BranderType;
    if (type == "Master" || type == "Free")
        return both(s.MasterPublID, s.MasterNewsBaseURL);
    if (type == "Platinum")
        return both(s.PlatinumPublID, s.PlatinumNewsBaseURL);
    if (type == "Gold")
        return both(s.GoldPublID, s.GoldNewsBaseURL);
    return false;
}

QByteArray BannerFileName(const QByteArray &bannerImage)
{
    const qsizetype cut = qMax(bannerImage.lastIndexOf('\\'), bannerImage.lastIndexOf(':'));
    return bannerImage.mid(cut + 1);
}

std::optional<QByteArray> ReadSettingsPlain(const QString &programFolder)
{
    // A file that cannot be read (no permission, locked, a folder of that
    // name) is as good as none: the window keeps its designed look.
    QFile file(SettingsPath(programFolder));
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray encrypted = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return DecryptSettingsBytes(encrypted).value_or(QByteArray());
}

QByteArray ReadLastNewsId(const QString &programFolder)
{
    const std::optional<QByteArray> plain = ReadSettingsPlain(programFolder);
    if (!plain)
        return {};
    QByteArray text = JoinLinesCrLf(TextLines(*plain));
    return CutBetween(text, LastNewsIdStart, LastNewsIdEnd);
}

bool IsStorableNewsId(const QByteArray &value)
{
    // A line break or a zero byte would end the entry's line and let the rest
    // of the id stand in the file as entries of their own; "<%%" would open
    // one on the same line.
    return !value.contains('\r') && !value.contains('\n') && !value.contains('\0') &&
           !value.contains("<%%");
}

QByteArray WithLastNewsId(const QByteArray &plainText, const QByteArray &value)
{
    if (!IsStorableNewsId(value))
        return plainText;
    const QByteArray start(LastNewsIdStart);
    const QByteArray end(LastNewsIdEnd);
    const QByteArray entry = start + value + end;
    // The reader sees the text up to its first zero byte; the entry it reads
    // is the one changed, and everything else stays byte for byte.
    const qsizetype nul = plainText.indexOf('\0');
    const qsizetype seen = nul < 0 ? plainText.size() : nul;
    const QByteArray visible = plainText.left(seen);
    QByteArray text = plainText;
    const qsizetype at = IndexOfFolded(visible, start, 0);
    if (at >= 0) {
        qsizetype lineEnd = at + start.size();
        while (lineEnd < seen && visible[lineEnd] != '\r' && visible[lineEnd] != '\n')
            ++lineEnd;
        // Without an end marker on the line, the entry runs to the line's end.
        const qsizetype endAt = IndexOfFolded(visible.left(lineEnd), end, at + start.size());
        const qsizetype stop = endAt < 0 ? lineEnd : endAt + end.size();
        text.replace(at, stop - at, entry);
        return text;
    }
    const bool lineOpen = seen > 0 && visible[seen - 1] != '\r' && visible[seen - 1] != '\n';
    text.insert(seen, (lineOpen ? QByteArray("\r\n") : QByteArray()) + entry + "\r\n");
    return text;
}

void WriteLastNewsId(const QString &programFolder, const QByteArray &value)
{
    const QString path = SettingsPath(programFolder);
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return;
    const QByteArray stored = file.readAll();
    const bool readOk = file.error() == QFileDevice::NoError;
    file.close();
    if (!readOk)
        return;
    // A file that fails its check is left exactly as it is: rewriting it
    // would replace the reseller's settings by a single line.
    const std::optional<QByteArray> plain = DecryptSettingsBytes(stored);
    if (!plain)
        return;
    if (!IsStorableNewsId(value))
        return;

    const std::optional<QByteArray> encrypted = EncryptSettingsBytes(WithLastNewsId(*plain, value));
    if (encrypted)
        SaveFileWhole(path, *encrypted);
}
