// libFuzzer target: arbitrary bytes as a plain settings text.
//
// Whatever the text, the start-up pass must end, and every value it returns
// must come from the text as rejoined with CR LF, the affiliate address after
// its one replacement. Where each cut says it found its entry must hold that
// entry's start marker and value, since the checker's messages rest on it.
// The checker itself runs over every input too.

#include "../tools/brand/SettingsCheck.h"
#include "base/TextLines.h"
#include "settings/SettingsFile.h"
#include "util/UUtils.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckFrom(const QByteArray &text, const QByteArray &value)
{
    Check(value.isEmpty() || text.contains(value));
}

// The affiliate address as a reseller reads the rule: every "%%AFFILIATEID%%"
// in capitals, taken from the left and not overlapping, becomes the id.
// Written byte by byte, apart from the program's own replacement.
QByteArray ReferenceAffiliateURL(const QByteArray &url, const QByteArray &id)
{
    const std::string placeholder = "%%AFFILIATEID%%";
    const std::string in = url.toStdString();
    std::string out;
    size_t i = 0;
    while (i < in.size()) {
        if (in.compare(i, placeholder.size(), placeholder) == 0) {
            out += id.toStdString();
            i += placeholder.size();
        } else {
            out += in[i++];
        }
    }
    return QByteArray::fromStdString(out);
}

bool EqualFolded(const QByteArray &a, const QByteArray &b)
{
    return a.toUpper() == b.toUpper();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray text = JoinLinesCrLf(TextLines(input));

    const TSettingsTrace trace = TraceSettingsText(input);
    Check(trace.Text == text);
    for (const TSettingsEntryTrace &e : trace.Entries) {
        Check(e.Found() || e.Value.isEmpty());
        if (!e.Found())
            continue;
        const QByteArray start = "<%%" + e.Name() + "%%>";
        Check(e.StartAt + start.size() <= text.size());
        Check(EqualFolded(text.mid(e.StartAt, start.size()), start));
        Check(text.mid(e.StartAt + start.size(), e.Value.size()) == e.Value);
        if (!e.EndMissing)
            Check(EqualFolded(text.mid(e.StartAt + start.size() + e.Value.size(), start.size() + 1),
                              "<%%/" + e.Name() + "%%>"));
    }
    Check(trace.Welcomes.size() <= MaxNumberedEntries &&
          trace.Banners.size() <= MaxNumberedEntries && trace.Links.size() <= MaxNumberedEntries);

    QRandomGenerator generator{quint32(size)};
    const TSettingsPass pass = ReadSettingsText(input, generator);
    const TProgramSettings &s = pass.Settings;
    for (const QByteArray *value :
         {&s.ApplicationName,     &s.BranderCode,     &s.BranderType,
          &s.AffiliateTYPE,       &s.AffiliateID,     &s.MasterNewsBaseURL,
          &s.PlatinumNewsBaseURL, &s.GoldNewsBaseURL, &s.MasterPublID,
          &s.PlatinumPublID,      &s.GoldPublID,      &pass.MakeMoneyCaption,
          &s.AppHelpURL,          &s.CopyrightYears,  &s.CopyrightCompany,
          &s.AboutText,           &s.WelcomeHTML,     &s.BannerImage,
          &s.BannerURL,           &s.Link1Caption,    &s.Link1URL,
          &s.Link2Caption,        &s.Link2URL})
        CheckFrom(text, *value);
    const QByteArray rawAffiliate = trace.Entries[3].Value;
    CheckFrom(text, rawAffiliate);
    Check(s.AffiliateURL == ReferenceAffiliateURL(rawAffiliate, s.AffiliateID));
    Check(s.BannerNumber >= 0 && s.BannerNumber <= trace.Banners.size());
    Check((s.BannerNumber == 0) == trace.Banners.isEmpty());

    const TSettingsReport report = CheckSettingsText(input, QStringLiteral("/nonexistent"));
    Check(report.Listing.size() >= qsizetype(SettingsEntryTags().size()) + 4);

    // The write-back changes one entry, which the reader then finds, and
    // keeps every byte the reader does not see.
    const QByteArray stored = WithLastNewsId(input, "77");
    Check(stored.contains("<%%LastNewsId%%>77<%%/LastNewsId%%>"));
    QByteArray readBack = JoinLinesCrLf(TextLines(stored));
    Check(CutBetween(readBack, "<%%LastNewsId%%>", "<%%/LastNewsId%%>") == "77");
    if (const qsizetype nul = input.indexOf('\0'); nul >= 0)
        Check(stored.endsWith(input.mid(nul)));
    // An id that could add entries is never written.
    Check(WithLastNewsId(input, "1\r\n<%%Welcome1%%>x<%%/Welcome1%%>") == input);
    return 0;
}
