// News service replies (list, latest item, item text) and the update
// description as they come off the wire: any bytes must parse without a
// crash, and the pieces must keep the framing's promises.

#include "FuzzSupport.h"
#include "news/NewsReplies.h"
#include "news/UpdateDescription.h"

#include <QByteArray>
#include <cmath>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t kind = data[0] % 4;
    const QByteArray raw(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QByteArray reply = TrimReply(raw);
    FUZZ_CHECK(reply.size() <= raw.size());
    FUZZ_CHECK(reply.isEmpty() || (uint8_t(reply.front()) > 0x20 && uint8_t(reply.back()) > 0x20));
    const bool success = IsSuccessReply(reply);
    const QString error = NewsErrorText(reply, kind == 2);
    FUZZ_CHECK(!success || error.isEmpty());

    switch (kind) {
    case 0: {
        QList<QByteArray> records{"kept"};
        ParseNewsList(reply, records);
        FUZZ_CHECK(records.value(0) == "kept");
        for (qsizetype i = 1; i < records.size(); ++i)
            FUZZ_CHECK(!records[i].isEmpty() && records[i] != "OK" && !records[i].contains('\xAF'));
        break;
    }
    case 1: {
        QByteArray id = "stale", title = "stale";
        ParseLatestNews(reply, id, title);
        FUZZ_CHECK(!id.contains('^') && !title.contains('^'));
        (void)NewsIdNumber(id);
        break;
    }
    case 2: {
        const QByteArray text = ParseNewsDetails(reply);
        FUZZ_CHECK(text.size() <= reply.size());
        break;
    }
    default: {
        const TUpdateDescription d = ReadUpdateDescription(raw);
        FUZZ_CHECK(!d.Version.contains('\n') && !d.Name.contains('\n'));
        FUZZ_CHECK(std::isfinite(VersionNumber(d.Version)));
        FUZZ_CHECK(std::isfinite(VersionNumber(raw)));
        break;
    }
    }
    return 0;
}
