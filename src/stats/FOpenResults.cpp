#include "stats/FOpenResults.h"

#include <QFileInfo>

TOpenResultsDialog::TOpenResultsDialog(const QString &startPath, QWidget *parent)
    : QFileDialog(parent, QStringLiteral("Open file"))
{
    setObjectName(QStringLiteral("dlgOpenResults"));
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);
    setNameFilter(QStringLiteral("CSV files (*.csv)"));
    const QFileInfo start(startPath);
    if (startPath.isEmpty() || startPath.endsWith(QLatin1Char('/')) || start.isDir())
        setDirectory(startPath);
    else
        setDirectory(start.absolutePath());
}
