#pragma once
// The news announcement: a balloon whose arrow points at the centre of a
// button, the balloon hanging below and to the left of that point, with a
// shadow. It stays until clicked, replaced or its time is up, and moves and
// hides with its window.

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

class TNewsHint : public QWidget
{
    Q_OBJECT
public:
    static constexpr int ShadowDepth = 4;
    static constexpr int LifetimeMs = 30000;

    explicit TNewsHint(QWidget *window);

    // Closes any balloon still up and shows a new one.
    void ShowHint(const QString &text, QWidget *anchor);
    void Dismiss();
    bool IsUp() const { return m_up; }
    const QString &Text() const { return m_text; }
    // The screen point the arrow touches.
    QPoint TipPoint() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Place();
    QPainterPath BalloonPath() const;
    QRect TextRect() const;

    QPointer<QWidget> m_window;
    QPointer<QWidget> m_anchor;
    QString m_text;
    QTimer m_life;
    bool m_up = false; // shown and neither dismissed nor expired
    QSize m_body;      // balloon without arrow and shadow
};
