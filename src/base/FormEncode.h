#pragma once
#include <QByteArray>

// Encodes a value for a query string as a form value: a space becomes '+',
// letters, digits and "-_.~" stay, every other byte becomes %XX.
inline QByteArray FormEncode(const QByteArray &value)
{
    QByteArray encoded = value.toPercentEncoding(QByteArray(" "), QByteArray());
    encoded.replace(' ', '+');
    return encoded;
}
