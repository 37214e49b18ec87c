#include "news/NewsReplies.h"

#include "util/UUtils.h"

namespace {

const QByteArray EndMarker = QByteArray("\xAF") + "OK";
const char RecordSeparator = '\xAF';

QByteArray WithoutEndMarkers(QByteArray reply)
{
    return reply.replace(EndMarker, QByteArray());
}

} // namespace

std::optional<TNewsTier> FindNewsTier(const TProgramSettings &s)
{
    std::optional<TNewsTier> tier;
    if (s.BranderType == "Master")
        tier = TNewsTier{"BM", s.MasterPublID};
    else if (s.BranderType == "Platinum")
        tier = TNewsTier{"BP", s.PlatinumPublID};
    else if (s.BranderType == "Gold")
        tier = TNewsTier{"BG", s.GoldPublID};
    if (tier && tier->PublisherId.isEmpty())
        tier.reset();
    return tier;
}

QByteArray NewsBaseAddress(const TProgramSettings &s, const QByteArray &tierCode)
{
    if (tierCode == "BM")
        return s.MasterNewsBaseURL;
    if (tierCode == "BP")
        return s.PlatinumNewsBaseURL;
    if (tierCode == "BG")
        return s.GoldNewsBaseURL;
    return {};
}

QByteArray NewsScriptAddress(const QByteArray &base, const QByteArray &script)
{
    return base.endsWith('/') ? base + script : base + '/' + script;
}

QByteArray TrimReply(const QByteArray &body)
{
    qsizetype from = 0;
    qsizetype to = body.size();
    while (from < to && static_cast<unsigned char>(body[from]) <= 0x20)
        ++from;
    while (to > from && static_cast<unsigned char>(body[to - 1]) <= 0x20)
        --to;
    return body.mid(from, to - from);
}

bool IsSuccessReply(const QByteArray &reply)
{
    return reply.contains("OK");
}

QString NewsErrorText(const QByteArray &reply, bool detailsRequest)
{
    if (reply.isEmpty())
        return QStringLiteral("There is a trouble accessing the news site. Contact your provider.");
    if (reply == "CONNECTIONFAIL")
        return QStringLiteral("There is a trouble in the settings file on the news site.");
    if (reply == "INVALIDUSER")
        return QStringLiteral("There is a trouble with the Publisher Id. Contact your provider.");
    if (reply == "INVALIDPRODUCT")
        return QStringLiteral(
            "There is a trouble with the product validation. Contact your provider.");
    if (detailsRequest && reply == "INVALIDNEWS")
        return QStringLiteral("There is a trouble with this news. Contact your provider.");
    return {};
}

void ParseNewsList(const QByteArray &reply, QList<QByteArray> &records)
{
    QList<QByteArray> pieces;
    SplitByChar(RecordSeparator, reply, pieces);
    for (const QByteArray &piece : pieces)
        if (!piece.isEmpty() && piece != "OK")
            records.append(piece);
}

void ParseLatestNews(const QByteArray &reply, QByteArray &id, QByteArray &title)
{
    id.clear();
    title.clear();
    const QByteArray rest = WithoutEndMarkers(reply);
    if (rest == "OK")
        return;
    QList<QByteArray> pieces;
    SplitByChar('^', rest, pieces);
    id = pieces.value(0);
    title = pieces.value(1);
}

QByteArray ParseNewsDetails(const QByteArray &reply)
{
    return DecodeDollarHex(WithoutEndMarkers(reply));
}

qint64 NewsIdNumber(const QByteArray &id)
{
    bool ok = false;
    const qint64 value = id.toLongLong(&ok, 10);
    return ok ? value : 0;
}
