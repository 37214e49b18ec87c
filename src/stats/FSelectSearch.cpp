#include "stats/FSelectSearch.h"

#include "base/FCenter.h"

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
    const int room = Width - layout->contentsMargins().left() - layout->contentsMargins().right();
    for (int px = 12; px >= 9; --px) {
        for (QRadioButton *r : {bsSkinCheckRadioBox1, bsSkinCheckRadioBox2}) {
            r->setStyleSheet(QStringLiteral("font-size: %1px;").arg(px));
            r->ensurePolished();
        }
        if (qMax(bsSkinCheckRadioBox1->sizeHint().width(),
                 bsSkinCheckRadioBox2->sizeHint().width()) <= room)
            break;
    }
    layout->addStretch();

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    btnOk = new QPushButton(QStringLiteral("Ok"));
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel = new QPushButton(QStringLiteral("Cancel"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    for (QPushButton *b : {btnOk, btnCancel}) {
        b->setAutoDefault(false);
        b->setFixedWidth(80);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(Width, Height);
}

void TfrmSelSearch::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    CenterOnScreen(this);
}
