#pragma once
// What the parser targets share: a check that stops the run where libFuzzer
// keeps the input, a status bar that records what it was told, and a plain
// byte search to compare the program's own against.

#include "base/StatusBar.h"

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #condition, __FILE__,          \
                         __LINE__);                                                                \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

class TRecordingStatus : public IStatusBar
{
public:
    void SetMainStatus(const QString &text) override { MainStatus = text; }
    void SetRowCountText(const QString &text) override
    {
        RowCountText = text;
        ++RowCountCalls;
    }
    QString MainStatus;
    QString RowCountText;
    int RowCountCalls = 0;
};

inline QByteArray FuzzBytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

inline char FoldAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

// Leftmost position of needle in hay with ASCII letters compared without
// case, byte by byte; -1 when absent or when the needle is empty.
inline qsizetype PlainIndexOfFolded(const QByteArray &hay, const QByteArray &needle,
                                    qsizetype from = 0)
{
    const qsizetype n = hay.size();
    const qsizetype m = needle.size();
    if (m == 0)
        return -1;
    for (qsizetype i = qMax<qsizetype>(0, from); i + m <= n; ++i) {
        qsizetype j = 0;
        while (j < m && FoldAsciiLetter(hay[i + j]) == FoldAsciiLetter(needle[j]))
            ++j;
        if (j == m)
            return i;
    }
    return -1;
}

inline bool IsBlankByte(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

inline bool IsTrimmed(const QByteArray &text)
{
    return text.isEmpty() || (!IsBlankByte(text.front()) && !IsBlankByte(text.back()));
}
