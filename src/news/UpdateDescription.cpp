#include "news/UpdateDescription.h"

#include <cmath>
#include <cstring>
#include <ini.h>
#include <strings.h>

namespace {

// Feeds inih one line at a time. Leading blanks are dropped (they would make
// the line a continuation of the previous value), and a line longer than the
// library's fixed buffer is cut there instead of having its tail read as a
// line of its own.
struct LineSource
{
    const char *pos;
    const char *end;
};

char *ReadLine(char *str, int num, void *stream)
{
    auto *src = static_cast<LineSource *>(stream);
    if (src->pos >= src->end || num < 2)
        return nullptr;
    while (src->pos < src->end && (*src->pos == ' ' || *src->pos == '\t'))
        ++src->pos;
    int n = 0;
    bool lineEnded = false;
    while (src->pos < src->end) {
        const char c = *src->pos++;
        if (n < num - 2)
            str[n++] = c;
        if (c == '\n') {
            lineEnded = true;
            break;
        }
    }
    if (!lineEnded || str[n - 1] != '\n')
        str[n++] = '\n';
    str[n] = '\0';
    return str;
}

int OnValue(void *user, const char *section, const char *name, const char *value)
{
    auto *out = static_cast<std::pair<TUpdateDescription, int> *>(user);
    if (strcasecmp(section, "APPLICATION") != 0 || !name)
        return 1;
    // Repeated keys: the first one counts, as Windows reads INI files.
    if (strcasecmp(name, "Name") == 0 && !(out->second & 1)) {
        out->first.Name = value ? QByteArray(value) : QByteArray();
        out->second |= 1;
    } else if (strcasecmp(name, "Version") == 0 && !(out->second & 2)) {
        out->first.Version = value ? QByteArray(value) : QByteArray();
        out->second |= 2;
    }
    return 1;
}

} // namespace

TUpdateDescription ReadUpdateDescription(const QByteArray &iniText)
{
    std::pair<TUpdateDescription, int> found{{}, 0};
    LineSource source{iniText.constData(), iniText.constData() + iniText.size()};
    ini_parse_stream(ReadLine, &source, OnValue, &found);
    return found.first;
}

double VersionNumber(const QByteArray &text)
{
    const QByteArray t = text.trimmed();
    // Only digits with at most one point and an optional sign: no exponent,
    // hex, "inf" or "nan" that the number parser would otherwise take.
    int digits = 0;
    int points = 0;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const char c = t[i];
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c == '.')
            ++points;
        else if (!(i == 0 && (c == '+' || c == '-')))
            return 0;
    }
    if (digits == 0 || points > 1)
        return 0;
    bool ok = false;
    const double value = t.toDouble(&ok); // always reads a point
    return ok && std::isfinite(value) ? value : 0;
}
