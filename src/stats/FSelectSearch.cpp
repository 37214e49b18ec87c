#include "stats/FSelectSearch.h"

#include "base/ErrorReport.h"
#include "base/FDialogParts.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TfrmSelSearch::TfrmSelSearch(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSelSearch"));
    setWindowTitle(QStringLiteral("Select Search Type"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(6);

    bsSkinCheckRadioBox1 = new QRadioButton(QStringLiteral(
        "Precise Search Eg: \"golf clubs\" Should appear the word in the same order."));
    bsSkinCheckRadioBox1->setObjectName(QStringLiteral("bsSkinCheckRadioBox1"));
    bsSkinCheckRadioBox2 = new QRadioButton(QStringLiteral(
        "Broad Search Eg: golf clubs, any word no matther the order or position in the text."));
    bsSkinCheckRadioBox2->setObjectName(QStringLiteral("bsSkinCheckRadioBox2"));
    bsSkinCheckRadioBox1->setChecked(true);
    layout->addWidget(bsSkinCheckRadioBox1);
    layout->addWidget(bsSkinCheckRadioBox2);
    // The dialog keeps its size; the long choices get a smaller type instead
    // of being cut off.
    FitTypeToWidth({bsSkinCheckRadioBox1, bsSkinCheckRadioBox2},
                   Width - layout->contentsMargins().left() - layout->contentsMargins().right(), 12,
                   9);
    layout->addStretch();

    layout->addLayout(OkCancelRow(btnOk, btnCancel));
    connect(btnOk, &QPushButton::clicked, this, Guarded([this] { accept(); }));
    connect(btnCancel, &QPushButton::clicked, this, Guarded([this] { reject(); }));
    setFixedSize(Width, Height);
}

void TfrmSelSearch::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    CenterOnScreen(this);
}
