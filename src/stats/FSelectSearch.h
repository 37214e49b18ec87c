#pragma once
#include <QDialog>

class QPushButton;
class QRadioButton;

// Asks before Gather Data whether the keyword goes out as an exact phrase or
// as loose words. A fresh dialog opens for every run, on the precise choice.
class TfrmSelSearch : public QDialog
{
    Q_OBJECT
public:
    static constexpr int Width = 480;
    static constexpr int Height = 114;

    explicit TfrmSelSearch(QWidget *parent = nullptr);

    QRadioButton *bsSkinCheckRadioBox1; // precise
    QRadioButton *bsSkinCheckRadioBox2; // broad
    QPushButton *btnOk;
    QPushButton *btnCancel;

protected:
    void showEvent(QShowEvent *event) override;
};
