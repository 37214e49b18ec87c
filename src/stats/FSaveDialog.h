#pragma once
#include <QFileDialog>

// bsSkinSaveDialog1: the save dialog of Save Results. Non-native, so that it
// looks the same everywhere and runs through the modal seam; it replaces an
// existing file without asking and never takes a wildcard as a file name.
class TSaveDialog : public QFileDialog
{
    Q_OBJECT
public:
    // startPath: a folder, or the full name of the file saved last.
    explicit TSaveDialog(const QString &startPath, QWidget *parent = nullptr);

    QString TypedName() const;

    void accept() override;
};
