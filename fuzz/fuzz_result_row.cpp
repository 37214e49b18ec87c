// libFuzzer target: the three engines' result count rules on any page.
//
// Google and Yahoo hand back a piece of the page that holds no end marker;
// MSN's count is trimmed. No count is longer than the page, and a page
// without the marker in front of an engine's count gives that engine none.

#include "FuzzSupport.h"
#include "stats/EnginePages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray page = FuzzBytes(data, size);

    const QByteArray google = ResultRow(TEngine::Google, page);
    FUZZ_CHECK(google.isEmpty() || page.contains(google));
    FUZZ_CHECK(PlainIndexOfFolded(google, "</b>") < 0);
    if (PlainIndexOfFolded(page, "of about <b>") < 0)
        FUZZ_CHECK(google.isEmpty());

    const QByteArray yahoo = ResultRow(TEngine::Yahoo, page);
    FUZZ_CHECK(yahoo.isEmpty() || page.contains(yahoo));
    FUZZ_CHECK(PlainIndexOfFolded(yahoo, "</strong>") < 0);
    if (PlainIndexOfFolded(page, "<strong id=\"resultCount\">") < 0)
        FUZZ_CHECK(yahoo.isEmpty());

    const QByteArray msn = ResultRow(TEngine::Msn, page);
    FUZZ_CHECK(msn.size() <= page.size());
    FUZZ_CHECK(IsTrimmed(msn));
    // A page without the count's own marker is still searched for " of ".
    if (PlainIndexOfFolded(page, " of ") < 0)
        FUZZ_CHECK(msn.isEmpty());
    return 0;
}
