#include "base/FDialogParts.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

void CenterOnScreen(QWidget *window)
{
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

QHBoxLayout *OkCancelRow(QPushButton *&ok, QPushButton *&cancel)
{
    auto *row = new QHBoxLayout;
    row->addStretch();
    ok = new QPushButton(QStringLiteral("Ok"));
    ok->setObjectName(QStringLiteral("btnOk"));
    cancel = new QPushButton(QStringLiteral("Cancel"));
    cancel->setObjectName(QStringLiteral("btnCancel"));
    for (QPushButton *b : {ok, cancel}) {
        b->setAutoDefault(false);
        b->setFixedWidth(80);
        row->addWidget(b);
    }
    return row;
}

void FitTypeToWidth(std::initializer_list<QWidget *> widgets, int room, int largestPx,
                    int smallestPx)
{
    for (int px = largestPx; px >= smallestPx; --px) {
        int widest = 0;
        for (QWidget *w : widgets) {
            // The skin sets the type with a style sheet, so a font set in
            // code would not hold.
            w->setStyleSheet(QStringLiteral("font-size: %1px;").arg(px));
            w->ensurePolished();
            widest = qMax(widest, w->sizeHint().width());
        }
        if (widest <= room)
            return;
    }
}
