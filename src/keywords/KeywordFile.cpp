#include "keywords/KeywordFile.h"

#include "base/KeywordList.h"
#include "base/ScreenText.h"
#include "base/StatusBar.h"
#include "base/TextLines.h"

#include <QFile>
#include <QFileInfo>
#include <stdexcept>

void AddKeywordsFromFile(const QString &path, TKeywordList &list, IStatusBar &status)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(
            FromScreen(QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()))
                .toStdString());
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw std::runtime_error(
            FromScreen(QStringLiteral("Cannot read file \"%1\". %2").arg(path, file.errorString()))
                .toStdString());
    AddKeywordsFromText(data, list, status);
}

void AddKeywordsFromText(const QByteArray &data, TKeywordList &list, IStatusBar &status)
{
    list.appendKeywords(TextLines(data), list.count() + 1);
    status.SetRowCountText(QStringLiteral("Total: ") + QString::number(list.count()));
}
