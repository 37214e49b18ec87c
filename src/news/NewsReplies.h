#pragma once
// The news service's conventions without the network: the tier rules, the
// request address, and the 0xAF-framed replies with their error codes.

#include "settings/ProgramSettings.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

inline constexpr char NewsTarget[] = "UA";

struct TNewsTier
{
    QByteArray TierCode;    // sent as "prodtype"
    QByteArray PublisherId; // sent as "memusername"
};

// The tier of BranderType (exact spelling). nullopt without a tier, for
// "Free" too, or when the tier's publisher id is empty: no request then.
std::optional<TNewsTier> FindNewsTier(const TProgramSettings &settings);
// The news base address of a tier code; empty for an unknown code.
QByteArray NewsBaseAddress(const TProgramSettings &settings, const QByteArray &tierCode);
// base + script, with one "/" between them.
QByteArray NewsScriptAddress(const QByteArray &base, const QByteArray &script);

// Reply conventions.
QByteArray TrimReply(const QByteArray &body); // bytes <= 0x20 off both ends
bool IsSuccessReply(const QByteArray &reply);
// The message for an error reply; empty when the reply has none.
QString NewsErrorText(const QByteArray &reply, bool detailsRequest);
// Appends the records of a list reply.
void ParseNewsList(const QByteArray &reply, QList<QByteArray> &records);
// Id and title of a latest-item reply; both empty when there is no item, and
// a missing piece is empty.
void ParseLatestNews(const QByteArray &reply, QByteArray &id, QByteArray &title);
// The item text of a details reply: markers removed, "$XX" decoded.
QByteArray ParseNewsDetails(const QByteArray &reply);
// A news id as a number; anything but a decimal integer is 0.
qint64 NewsIdNumber(const QByteArray &id);
