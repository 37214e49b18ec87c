#include "stats/EnginePages.h"

#include "util/UUtils.h"

namespace {

// Spaces and control bytes; bytes from 0x80 up are text.
bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

QByteArray TrimBlanks(const QByteArray &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

QByteArray ResultRow(TEngine engine, const QByteArray &page)
{
    // Each cut goes on from where the one before left the scanned text: the
    // first Google and MSN cuts only move it up to the count's own marker.
    QByteArray scanned = page;
    switch (engine) {
    case TEngine::Google:
        CutBetween(scanned, "<font size=-1>Results", "of about <b>");
        return CutBetween(scanned, "of about <b>", "</b>");
    case TEngine::Yahoo:
        return CutBetween(scanned, "<strong id=\"resultCount\">", "</strong>");
    case TEngine::Msn:
        break;
    }
    CutBetween(scanned, "<span id=\"count\">", " of ");
    QByteArray count = CutBetween(scanned, " of ", "</span>");
    count.replace("results", QByteArray());
    return TrimBlanks(count);
}
