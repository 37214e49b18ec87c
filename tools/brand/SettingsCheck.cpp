#include "SettingsCheck.h"

#include "settings/BrandingRules.h"
#include "settings/SettingsFile.h"
#include "util/UUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QSet>
#include <algorithm>

namespace {

const char *const Families[] = {"Welcome", "Banner", "Link"};

// Values as one short line: line breaks shown as \n, other control bytes
// as '.', long values cut with their size added.
QByteArray OneLine(const QByteArray &value)
{
    if (value.isEmpty())
        return "(empty)";
    constexpr qsizetype Shown = 64;
    QByteArray line;
    for (qsizetype i = 0; i < value.size() && line.size() < Shown; ++i) {
        const uchar c = uchar(value[i]);
        if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
            continue;
        if (c == '\r' || c == '\n')
            line += "\\n";
        else
            line += (c < 0x20 || c == 0x7F) ? '.' : char(c);
    }
    if (line.size() >= Shown)
        line = line.left(Shown - 3) + "... (" + QByteArray::number(value.size()) + " bytes, " +
               QByteArray::number(value.count("\r\n") + 1) + " lines)";
    return line;
}

QByteArray Quoted(const QByteArray &text)
{
    return '"' + text + '"';
}

QByteArray Start(const QByteArray &name)
{
    return "<%%" + name + "%%>";
}

bool HasLineBreak(const QByteArray &value)
{
    return value.contains('\r') || value.contains('\n');
}

struct Marker
{
    QByteArray name; // as written, without the "/" of an end marker
    qsizetype at;
    bool end = false;
};

// Everything written as a marker, "<%%", a name, "%%>", wherever it stands
// and whatever the name holds (the program knows names of letters and
// digits only). Markers of an end marker count apart.
QList<Marker> AllMarkers(const QByteArray &text)
{
    constexpr qsizetype LongestName = 64;
    QList<Marker> markers;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype at = text.indexOf("<%%", pos);
        if (at < 0)
            break;
        pos = at + 3;
        const qsizetype close = text.indexOf("%%>", at + 3);
        const qsizetype next = text.indexOf("<%%", at + 3);
        if (close < 0 || (next >= 0 && next < close) || close - at - 3 > LongestName)
            continue;
        QByteArray name = text.mid(at + 3, close - at - 3);
        const bool end = name.startsWith('/');
        if (end)
            name.remove(0, 1);
        if (name.isEmpty())
            continue;
        markers.append({name, at, end});
        pos = close + 3;
    }
    return markers;
}

// A family entry's number, 0 when the name is not one; digits with a
// leading zero are not a number the program writes.
qint64 FamilyNumber(const QByteArray &upperName, const QByteArray &family)
{
    const QByteArray prefix = family.toUpper();
    if (!upperName.startsWith(prefix) || upperName.size() == prefix.size())
        return 0;
    const QByteArray digits = upperName.mid(prefix.size());
    if (digits[0] == '0' || digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    return digits.toLongLong();
}

class Checker
{
public:
    Checker(const QByteArray &plain, const QString &folder)
        : trace(TraceSettingsText(plain)), folder(folder), markers(AllMarkers(trace.Text))
    {
        for (const Marker &m : markers)
            if (!m.end)
                ++counts[m.name.toUpper()];
    }

    TSettingsReport Run(const QByteArray &plain)
    {
        if (const qsizetype nul = plain.indexOf('\0'); nul >= 0)
            Warn("the text holds a zero byte at offset " + QByteArray::number(nul) +
                 ": the program reads nothing after it");
        ListAndCheckCuts();
        CheckFamilies();
        CheckTier();
        CheckAffiliate();
        CheckMarkers();
        CheckSkin();
        return report;
    }

private:
    TSettingsTrace trace;
    QString folder;
    QList<Marker> markers;
    QHash<QByteArray, int> counts; // start markers by upper-case name
    TSettingsReport report;

    void Warn(const QByteArray &text) { report.Warnings.append(text); }

    bool Present(const QByteArray &name) const { return counts.contains(name.toUpper()); }

    QByteArray Value(const QByteArray &tag) const
    {
        for (const TSettingsEntryTrace &e : trace.Entries)
            if (e.Number == 0 && e.Tag == tag)
                return e.Value;
        return {};
    }

    void ListAndCheckCuts()
    {
        const TSettingsEntryTrace *lastFound = nullptr;
        bool any = false;
        QSet<QByteArray> familiesSeen;
        for (qsizetype i = 0; i < trace.Entries.size(); ++i) {
            const TSettingsEntryTrace &e = trace.Entries[i];
            const QByteArray name = e.Name();
            const bool member = e.Number > 0 && !e.Value.isEmpty();
            if (e.Number == 0)
                report.Listing.append(name.leftJustified(20) + ' ' +
                                      (e.Found() ? OneLine(e.Value) : "(not found)"));
            else if (member)
                report.Listing.append(name.leftJustified(20) + ' ' + OneLine(e.Value));
            else if (e.Number == 1)
                report.Listing.append(e.Tag.leftJustified(20) + " (none)");
            if (!e.Found()) {
                if (Present(name))
                    Warn(name + " stands before " + (lastFound ? lastFound->Name() : "") +
                         ", which is read first: it is never found and reads as empty (keep "
                         "the entries in the order of the template)");
                continue;
            }
            any = true;
            // Values that may run over lines: the about text and the pages.
            const bool multiLine = e.Tag == "AboutText" || e.Tag == "Welcome";
            if (!multiLine && !e.EndMissing && HasLineBreak(e.Value))
                Warn(name + " spans lines: its value " + Quoted(OneLine(e.Value)) +
                     " holds the line breaks between its markers (shown as \\n), and they are "
                     "part of it; put the value and both markers on one line");
            if (e.EndMissing)
                Warn(name + " has no end marker " + Quoted("<%%/" + name + "%%>") +
                     ": it reads as empty, and the entries after it are searched from its "
                     "start marker on");
            lastFound = &e;
        }
        if (!any)
            Warn("no entry found: the program would start with every setting empty");
        const QByteArray lastNewsId = [this] {
            QByteArray text = trace.Text;
            return CutBetween(text, "<%%LastNewsId%%>", "<%%/LastNewsId%%>");
        }();
        report.Listing.append(QByteArray("LastNewsId").leftJustified(20) + ' ' +
                              (lastNewsId.isEmpty() ? "(none yet)" : OneLine(lastNewsId)));
    }

    void CheckFamilies()
    {
        for (const char *family : Families) {
            const QList<QByteArray> &members = QByteArray(family) == "Welcome"  ? trace.Welcomes
                                               : QByteArray(family) == "Banner" ? trace.Banners
                                                                                : trace.Links;
            const QByteArray stop = family + QByteArray::number(members.size() + 1);
            QMap<qint64, QByteArray> present; // numbers in the text, beyond what was read
            for (const Marker &m : markers) {
                if (m.end)
                    continue;
                // The number after the last one read has been tried unless
                // the family was full; what stopped it is reported above.
                const qint64 n = FamilyNumber(m.name.toUpper(), family);
                const bool tried = n == members.size() + 1 && members.size() < MaxNumberedEntries;
                if (n > members.size() && !tried)
                    present.insert(n, m.name);
            }
            for (auto it = present.cbegin(); it != present.cend(); ++it) {
                if (it.key() > MaxNumberedEntries)
                    Warn(it.value() + " is never read: a family holds at most " +
                         QByteArray::number(MaxNumberedEntries) + " entries");
                else
                    Warn(it.value() + " is never read: the " + family + " family ends at " + stop +
                         ", the first number missing, empty or out of place");
            }
            if (QByteArray(family) == "Welcome")
                continue;
            for (qsizetype i = 0; i < members.size(); ++i)
                CheckTwoFields(family, int(i + 1), members[i]);
        }
    }

    void CheckTwoFields(const QByteArray &family, int number, const QByteArray &value)
    {
        const QByteArray name = family + QByteArray::number(number);
        QList<QByteArray> fields;
        SplitByChar('^', value, fields);
        const bool banner = family == "Banner";
        if (fields.value(1).isEmpty())
            Warn(name + " has no address after " + Quoted("^") +
                 (banner ? ": a click on the banner opens nothing"
                         : ": the link opens an empty address"));
        if (fields.value(0).isEmpty())
            Warn(name + (banner ? " has no picture name: the banner strip is hidden when it "
                                  "is drawn"
                                : " has no caption: its label is empty"));
        if (!banner)
            return;
        const QString file = QStringLiteral("banner%1.dat").arg(number);
        const QString path = QDir(folder).filePath(file);
        if (!QFileInfo::exists(path)) {
            Warn(name + " needs the picture file " + file.toLatin1() +
                 " beside the settings file: without it the banner strip is hidden when this "
                 "banner is drawn");
            return;
        }
        if (fields.value(0).isEmpty())
            return;
        CheckBannerPicture(name, BannerFileName(fields[0]), file.toLatin1(), path);
    }

    // The picture read as the program reads it: the format comes from the
    // entry's name, not from the bytes.
    void CheckBannerPicture(const QByteArray &name, const QByteArray &picture,
                            const QByteArray &file, const QString &path)
    {
        const bool animated = BannerIsAnimated(picture);
        const QByteArray format = animated ? QByteArray("gif") : BannerExtensionFormat(picture);
        if (animated && !picture.toLower().endsWith(".gif"))
            Warn(name + "'s picture name " + Quoted(OneLine(picture)) +
                 " holds \".gif\": the program reads " + file +
                 " as an animated GIF, whatever its extension says");
        if (format.isEmpty()) {
            Warn(name + "'s picture name " + Quoted(OneLine(picture)) +
                 " has no extension to tell its format: the banner strip is hidden when this "
                 "banner is drawn");
            return;
        }
        QFile f(path);
        const QByteArray data = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        if (!DecodeBanner(picture, data))
            Warn(file + " cannot be read as " + format.toUpper() + " (the format the name " +
                 Quoted(OneLine(picture)) + " of " + name +
                 " selects): the banner strip is hidden when this banner is drawn");
    }

    void CheckTier()
    {
        const QByteArray type = Value("BranderType");
        if (type.isEmpty())
            return;
        static const QList<QByteArray> tiers{"Master", "Platinum", "Gold", "Free"};
        if (!tiers.contains(type)) {
            QByteArray like;
            for (const QByteArray &t : tiers)
                if (t.toUpper() == type.toUpper())
                    like = t;
            const QByteArray cause =
                HasLineBreak(type) ? QByteArray(" holds line breaks (shown as \\n) that are part "
                                                "of the value")
                : like.isEmpty()   ? QByteArray(" is none of Master, Platinum, Gold and Free")
                                   : " is not " + Quoted(like) + " (letter case counts)";
            Warn("BranderType " + Quoted(OneLine(type)) + cause +
                 ": no tier applies, the News button is hidden and no news is fetched");
            return;
        }
        const QByteArray pair = type == "Free" ? QByteArray("Master") : type;
        QList<QByteArray> missing;
        for (const QByteArray &field : {pair + "NewsBaseURL", pair + "PublID"})
            if (Value(field).isEmpty())
                missing.append(field);
        if (!missing.isEmpty())
            Warn("BranderType " + type + " uses " + pair + "NewsBaseURL and " + pair +
                 "PublID, but " + missing.join(" and ") + (missing.size() > 1 ? " are" : " is") +
                 " empty: the News button is hidden and no news is fetched");
        else if (type == "Free")
            Warn("BranderType Free shows the News button by the Master pair, but no news is "
                 "ever fetched for Free: the start-up check asks nothing and the News button "
                 "answers \"There's no news for this application!\"");
    }

    void CheckAffiliate()
    {
        const QByteArray url = Value("AffiliateURL");
        const QByteArray id = Value("AffiliateID");
        const QByteArray exact(AffiliatePlaceholder);
        const qsizetype folded = url.toUpper().count(exact);
        const qsizetype written = url.count(exact);
        if (folded > written)
            Warn("AffiliateURL holds the placeholder in another letter case: only " +
                 Quoted(exact) + " in capitals is replaced by AffiliateID");
        if (written > 0 && id.isEmpty())
            Warn("AffiliateURL holds " + Quoted(exact) +
                 " but AffiliateID is empty: the placeholder is removed");
        if (written == 0 && !id.isEmpty())
            Warn("AffiliateID is set but AffiliateURL holds no " + Quoted(exact) +
                 ": the id is not used");
    }

    void CheckMarkers()
    {
        QSet<QByteArray> known{"LASTNEWSID"};
        for (const QByteArray &tag : SettingsEntryTags())
            known.insert(tag.toUpper());
        QSet<QByteArray> reported;
        for (const Marker &m : markers) {
            const QByteArray upper = m.name.toUpper();
            if (reported.contains(upper))
                continue;
            reported.insert(upper);
            bool family = false;
            for (const char *f : Families)
                family = family || FamilyNumber(upper, f) > 0;
            if (!family && !known.contains(upper)) {
                const QByteArray written = m.end ? "<%%/" + m.name + "%%>" : Start(m.name);
                Warn(OneLine(written) +
                     (IsTagName(m.name) ? QByteArray()
                                        : " holds more than letters and digits, so it") +
                     " is not an entry the program reads: it is ignored");
                continue;
            }
            if (const int n = counts.value(upper); n > 1)
                Warn(m.name + " appears " + QByteArray::number(n) +
                     " times: only one of them is read");
        }
    }

    static bool IsTagName(const QByteArray &name)
    {
        return std::all_of(name.begin(), name.end(), [](char c) {
            return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        });
    }

    // The skin beside the settings, read as the program reads it.
    void CheckSkin()
    {
        QFile f(QDir(folder).filePath(QStringLiteral("mainskin.dat")));
        if (!f.exists())
            return;
        if (!f.open(QIODevice::ReadOnly)) {
            Warn("mainskin.dat cannot be read: the program keeps its built-in look");
            return;
        }
        const QString sheet = DecodeSkin(f.readAll());
        if (sheet.isEmpty())
            Warn("mainskin.dat holds no style sheet the program can read (empty, not text, or "
                 "damaged): the program keeps its built-in look");
        else if (!StyleSheetParses(sheet))
            Warn("mainskin.dat is not a style sheet Qt can parse: the program keeps its "
                 "built-in look");
    }
};

} // namespace

TSettingsReport CheckSettingsText(const QByteArray &plainText, const QString &folder)
{
    return Checker(plainText, folder).Run(plainText);
}

QByteArray SettingsTemplate()
{
    return R"(Settings of the keyword research tool, for resellers.

Edit the values between the markers, then turn this text into the settings
file and check it:
    tarnwick-brand encrypt settings.txt dbsettings.dat
    tarnwick-brand check dbsettings.dat
Ship dbsettings.dat beside the program, together with the banner pictures
(banner1.dat, banner2.dat ...) and, if you like, main.ico (the program's
icon) and mainskin.dat (a Qt style sheet for the look of the windows).

Lines outside the entries are notes like these; the program ignores them.
Keep the entries in the order given here: the program looks for each entry
only after the one before it, so an entry moved up is never found. A value
is taken exactly as written, spaces included, and may run over several
lines. An empty value counts as absent. Tags may be written in any case.

The name in the window caption and in the about box.
<%%ApplicationName%%>Demo<%%/ApplicationName%%>

Your product code, sent to your news service.
<%%BranderCode%%>DEMO01<%%/BranderCode%%>

Your tier, written exactly so: Master, Platinum, Gold or Free. It picks
which news address and publisher id below are used; Free shows the News
button by the Master pair.
<%%BranderType%%>Master<%%/BranderType%%>

The Make Money button opens this address; %%AFFILIATEID%% (in capitals)
is replaced by the affiliate id. The affiliate type is kept for your own
records.
<%%AffiliateURL%%>http://www.example.com/join?aff=%%AFFILIATEID%%<%%/AffiliateURL%%>
<%%AffiliateTYPE%%>cpa<%%/AffiliateTYPE%%>
<%%AffiliateID%%>12345<%%/AffiliateID%%>

The news service base address and publisher id of each tier.
<%%MasterNewsBaseURL%%>http://news.example.com/<%%/MasterNewsBaseURL%%>
<%%PlatinumNewsBaseURL%%>http://news.example.com/platinum/<%%/PlatinumNewsBaseURL%%>
<%%GoldNewsBaseURL%%>http://news.example.com/gold/<%%/GoldNewsBaseURL%%>
<%%MasterPublID%%>101<%%/MasterPublID%%>
<%%PlatinumPublID%%>102<%%/PlatinumPublID%%>
<%%GoldPublID%%>103<%%/GoldPublID%%>

The caption of the Make Money button ("Make Money" when empty).
<%%MakeMoneyButton%%>Earn with Demo<%%/MakeMoneyButton%%>

The Help button opens this address.
<%%AppHelpURL%%>http://www.example.com/help/<%%/AppHelpURL%%>

The about box: copyright years, company, and its text.
<%%CopyrightYears%%>2024-2026<%%/CopyrightYears%%>
<%%CopyrightCompany%%>Example Reseller Ltd.<%%/CopyrightCompany%%>
<%%AboutText%%>Demo finds the keywords your visitors search for.
Brought to you by Example Reseller Ltd.: http://www.example.com/<%%/AboutText%%>

Welcome pages: whole HTML documents, numbered from 1 without gaps, at most
16. One of them, picked at random, greets the user before the main page;
without any the program opens on the main page. A picture named without an
address is taken from the program's folder.
<%%Welcome1%%><html><body>
<h2>Welcome to Demo</h2>
<p>Start with <b>Main Keyword</b>, then gather keywords and their counts.</p>
<p><a href="http://www.example.com/start">Getting started</a></p>
</body></html><%%/Welcome1%%>
<%%Welcome2%%><html><body>
<h2>Demo: keyword research made simple</h2>
<p><a href="http://www.example.com/tips">Ten tips for better keywords</a></p>
</body></html><%%/Welcome2%%>

Banners: picture name ^ address, numbered from 1 without gaps, at most 16;
one is picked at random. Each picture lies beside the program as "banner",
its number and ".dat" (banner1.dat for Banner1); the name given here only
tells its format: a name containing .gif is an animated GIF, otherwise the
extension counts (.png, .jpg ...).
<%%Banner1%%>offer.gif^http://www.example.com/offer<%%/Banner1%%>
<%%Banner2%%>tools.png^http://www.example.com/tools<%%/Banner2%%>

Links at the bottom of the window: caption ^ address, numbered from 1
without gaps, at most 16; two different ones are picked at random.
<%%Link1%%>Keyword tips^http://www.example.com/tips<%%/Link1%%>
<%%Link2%%>More tools^http://www.example.com/tools<%%/Link2%%>
<%%Link3%%>Support forum^http://www.example.com/forum<%%/Link3%%>

The program adds a line of its own at the end, where it remembers the last
news item the user read; leave that line as it is.
)";
}
