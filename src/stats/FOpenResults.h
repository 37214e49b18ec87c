#pragma once
#include <QFileDialog>

// The open dialog of "Open Results...": non-native like the save dialog, so
// that it runs through the modal seam; one filter for saved results.
class TOpenResultsDialog : public QFileDialog
{
    Q_OBJECT
public:
    // startPath: a folder, or the full name of the file saved last.
    explicit TOpenResultsDialog(const QString &startPath, QWidget *parent = nullptr);
};
