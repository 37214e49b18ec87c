#pragma once
// Where commands report to the user without a box: the status bar.

#include <QByteArray>
#include <QString>

class IStatusBar
{
public:
    virtual ~IStatusBar() = default;
    // MainStatusPanel: the text of web requests.
    virtual void SetMainStatus(const QString &text) = 0;
    // SecondStatusPanel: the row count.
    virtual void SetRowCountText(const QString &text) = 0;
};

// "N items listed" (the plural stays for one row).
inline QString ItemsListedText(int count)
{
    return QString::number(count) + QStringLiteral(" items listed");
}
