#pragma once
// The panel that shows a gathering run as a whole: row i of n,
// the requests sent and failed, and the time left. While the window is
// minimised its caption carries the share done; the caption comes back
// exactly as it was.

#include "base/RunProgress.h"

#include <QLabel>
#include <QPointer>

class TRunProgressPanel : public QLabel, public IRunProgress
{
    Q_OBJECT
public:
    // window: the top-level window whose caption shows the share done.
    explicit TRunProgressPanel(QWidget *window, QWidget *parent = nullptr);
    ~TRunProgressPanel() override;

    // IRunProgress
    void RunStarted(int rows, int queries) override;
    void RowStarted(int row) override;
    void RequestSent(bool failed) override;
    void QueryDone() override;
    void RunEnded() override;

    bool IsRunning() const { return m_running; }
    const TRunProgress &Progress() const { return m_progress; }
    // Tests run the estimate on a clock of their own.
    void SetClock(TRunProgress::Clock clock) { m_progress.SetClock(std::move(clock)); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Refresh();
    void UpdateCaption();
    void RestoreCaption();

    QPointer<QWidget> m_window;
    TRunProgress m_progress;
    bool m_running = false;
    bool m_captionTaken = false;
    QString m_caption;
    QString m_shownCaption;
};

// "42% - Tarnwick": the caption of a minimised window during a run.
QString ProgressCaption(int percent, const QString &caption);
