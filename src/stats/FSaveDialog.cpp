#include "stats/FSaveDialog.h"

#include <QFileInfo>
#include <QLineEdit>

TSaveDialog::TSaveDialog(const QString &startPath, QWidget *parent)
    : QFileDialog(parent, QStringLiteral("Save file"))
{
    setObjectName(QStringLiteral("bsSkinSaveDialog1"));
    setOption(QFileDialog::DontUseNativeDialog);
    setOption(QFileDialog::DontConfirmOverwrite);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setNameFilter(QStringLiteral("CSV files (*.csv)"));
    const QFileInfo start(startPath);
    if (startPath.isEmpty() || startPath.endsWith(QLatin1Char('/')) || start.isDir()) {
        setDirectory(startPath);
    } else {
        setDirectory(start.absolutePath());
        selectFile(start.fileName());
    }
}

QString TSaveDialog::TypedName() const
{
    const auto *edit = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    return edit ? edit->text() : QString();
}

void TSaveDialog::accept()
{
    if (TypedName().contains(QLatin1Char('*')))
        return;
    QFileDialog::accept();
}
