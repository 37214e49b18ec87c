#pragma once
// Reads a multipart form post as the news service receives it, strictly, so
// that a test sees exactly which fields went out and in which order.

#include "sandbox/Sandbox.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <string>

using FormFields = QList<QPair<QByteArray, QByteArray>>;

inline QByteArray HeaderOf(const sandbox::RecordedRequest &r, const char *name)
{
    for (const auto &[key, value] : r.headers)
        if (QByteArray::fromStdString(key).compare(name, Qt::CaseInsensitive) == 0)
            return QByteArray::fromStdString(value);
    return {};
}

// Empty boundary when the content type is not "multipart/form-data;
// boundary=<unquoted>".
inline QByteArray BoundaryOf(const sandbox::RecordedRequest &r)
{
    const QByteArray type = HeaderOf(r, "Content-Type");
    const QByteArray prefix = "multipart/form-data; boundary=";
    if (!type.startsWith(prefix))
        return {};
    const QByteArray boundary = type.mid(prefix.size());
    return boundary.contains('"') || boundary.contains(';') ? QByteArray() : boundary;
}

// The fields in the order posted; a "!malformed" entry when the body does
// not follow the multipart layout.
inline FormFields PostedFields(const sandbox::RecordedRequest &r)
{
    const QByteArray boundary = BoundaryOf(r);
    const QByteArray body = QByteArray::fromStdString(r.body);
    FormFields out;
    const FormFields bad{{"!malformed", body}};
    if (boundary.isEmpty() || !body.endsWith("--" + boundary + "--\r\n"))
        return bad;
    const QByteArray delimiter = "--" + boundary;
    qsizetype at = body.indexOf(delimiter);
    if (at != 0)
        return bad;
    for (;;) {
        at += delimiter.size();
        if (body.mid(at, 2) == "--")
            return out;
        const qsizetype next = body.indexOf("\r\n" + delimiter, at);
        if (next < 0 || body.mid(at, 2) != "\r\n")
            return bad;
        const QByteArray part = body.mid(at + 2, next - at - 2);
        const qsizetype split = part.indexOf("\r\n\r\n");
        const QByteArray head = part.left(split);
        const QByteArray disposition = "Content-Disposition: form-data; name=\"";
        if (split < 0 || !head.startsWith(disposition) || !head.endsWith('"') ||
            head.contains("\r\n"))
            return bad;
        out.append({head.mid(disposition.size(), head.size() - disposition.size() - 1),
                    part.mid(split + 4)});
        at = next + 2;
    }
}
