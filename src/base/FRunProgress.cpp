#include "base/FRunProgress.h"

#include <QEvent>

TRunProgressPanel::TRunProgressPanel(QWidget *window, QWidget *parent)
    : QLabel(parent), m_window(window)
{
    setObjectName(QStringLiteral("RunProgressPanel"));
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    hide();
    if (m_window)
        m_window->installEventFilter(this);
}

TRunProgressPanel::~TRunProgressPanel()
{
    RestoreCaption();
}

void TRunProgressPanel::RunStarted(int rows, int queries)
{
    m_progress.Start(rows, queries);
    m_running = true;
    show();
    Refresh();
}

void TRunProgressPanel::RowStarted(int row)
{
    if (!m_running)
        return;
    m_progress.SetRow(row);
    Refresh();
}

void TRunProgressPanel::RequestSent(bool failed)
{
    if (!m_running)
        return;
    m_progress.AddRequest(failed);
    Refresh();
}

void TRunProgressPanel::QueryDone()
{
    if (!m_running)
        return;
    m_progress.AddQueryDone();
    Refresh();
}

void TRunProgressPanel::RunEnded()
{
    m_running = false;
    hide();
    RestoreCaption();
}

void TRunProgressPanel::Refresh()
{
    setText(m_progress.Text());
    setToolTip(text());
    UpdateCaption();
}

bool TRunProgressPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::WindowStateChange)
        UpdateCaption();
    return QLabel::eventFilter(watched, event);
}

void TRunProgressPanel::UpdateCaption()
{
    if (!m_window)
        return;
    if (!m_running || !m_window->isMinimized()) {
        RestoreCaption();
        return;
    }
    if (!m_captionTaken) {
        m_caption = m_window->windowTitle();
        m_captionTaken = true;
    }
    const QString caption = ProgressCaption(m_progress.Percent(), m_caption);
    if (caption != m_shownCaption) {
        m_shownCaption = caption;
        m_window->setWindowTitle(caption);
    }
}

void TRunProgressPanel::RestoreCaption()
{
    if (!m_captionTaken)
        return;
    m_captionTaken = false;
    m_shownCaption.clear();
    if (m_window)
        m_window->setWindowTitle(m_caption);
}

QString ProgressCaption(int percent, const QString &caption)
{
    return QStringLiteral("%1% - %2").arg(percent).arg(caption);
}
