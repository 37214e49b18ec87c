#include "settings/SettingsFile.h"

TSettingsPass ReadSettingsText(const QByteArray &, QRandomGenerator &)
{
    return {};
}

std::optional<QByteArray> ReadSettingsPlain(const QString &)
{
    return std::nullopt;
}

QByteArray ReadLastNewsId(const QString &)
{
    return {};
}

void WriteLastNewsId(const QString &, const QByteArray &) {}
