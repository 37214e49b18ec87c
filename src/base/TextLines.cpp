#include "base/TextLines.h"

QList<QByteArray> TextLines(const QByteArray &data)
{
    QList<QByteArray> lines;
    const qsizetype nul = data.indexOf('\0');
    const qsizetype end = nul < 0 ? data.size() : nul;
    const char *p = data.constData();
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < end) {
        const char c = p[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        lines.append(QByteArray(p + start, i - start));
        if (c == '\r' && i + 1 < end && p[i + 1] == '\n')
            ++i;
        start = ++i;
    }
    if (start < end)
        lines.append(QByteArray(p + start, end - start));
    return lines;
}

QByteArray JoinLinesCrLf(const QList<QByteArray> &lines)
{
    qsizetype size = 0;
    for (const QByteArray &line : lines)
        size += line.size() + 2;
    QByteArray text;
    text.reserve(size);
    for (const QByteArray &line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}
