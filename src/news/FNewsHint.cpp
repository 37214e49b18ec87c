#include "news/FNewsHint.h"

#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int ArrowHeight = 14;
constexpr int ArrowWidth = 14;
constexpr int ArrowInset = 18; // from the balloon's right edge to the tip
constexpr int Padding = 8;
constexpr int Radius = 6;
} // namespace

TNewsHint::TNewsHint(QWidget *window)
    : QWidget(window, Qt::ToolTip | Qt::FramelessWindowHint), m_window(window)
{
    setObjectName(QStringLiteral("LMDMessageHint1"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(11);
    setFont(f);
    m_life.setSingleShot(true);
    connect(&m_life, &QTimer::timeout, this, &TNewsHint::Dismiss);
    if (window)
        window->installEventFilter(this);
}

void TNewsHint::ShowHint(const QString &text, QWidget *anchor)
{
    Dismiss();
    m_text = text;
    m_anchor = anchor;
    // It is painted: assistive technology reads what it shows from these.
    const qsizetype cut = text.indexOf(QLatin1Char('\n'));
    setAccessibleName(cut < 0 ? text : text.left(cut).trimmed());
    setAccessibleDescription(cut < 0 ? QString() : text.mid(cut + 1).trimmed());
    const QFontMetrics fm(font());
    const QRect textSize = fm.boundingRect(QRect(0, 0, 400, 1000), Qt::TextWordWrap, text);
    m_body = QSize(qMax(textSize.width() + 2 * Padding, ArrowInset + ArrowWidth + Radius),
                   textSize.height() + 2 * Padding);
    resize(m_body.width() + ShadowDepth + 1, m_body.height() + ArrowHeight + ShadowDepth + 1);
    // Without a compositor the corners outside the shape would show black.
    // Balloon and shadow are joined as regions: one polygon of both would
    // cut their overlap out under the even-odd rule.
    const QPolygon balloon = BalloonPath().toFillPolygon().toPolygon();
    setMask(QRegion(balloon).united(QRegion(balloon.translated(ShadowDepth, ShadowDepth))));
    m_up = true;
    m_life.start(LifetimeMs);
    Place();
    if (m_window && m_window->isVisible() && !m_window->isMinimized())
        show();
    update();
}

void TNewsHint::Dismiss()
{
    m_up = false;
    m_life.stop();
    hide();
}

QPoint TNewsHint::TipPoint() const
{
    if (!m_anchor || !m_window)
        return {};
    // The button's centre in the window's client area, halves truncated.
    const QPoint topLeft = m_anchor->mapTo(m_window, QPoint(0, 0));
    const QPoint centre(topLeft.x() + m_anchor->width() / 2, topLeft.y() + m_anchor->height() / 2);
    return m_window->mapToGlobal(centre);
}

void TNewsHint::Place()
{
    move(TipPoint() - QPoint(m_body.width() - ArrowInset, 0));
}

QPainterPath TNewsHint::BalloonPath() const
{
    const int w = m_body.width();
    const int top = ArrowHeight;
    const int tip = w - ArrowInset;
    QPainterPath body;
    body.addRoundedRect(QRectF(0.5, top + 0.5, w - 1, m_body.height() - 1), Radius, Radius);
    QPainterPath arrow;
    arrow.moveTo(tip, 0.5);
    arrow.lineTo(tip - ArrowWidth, top + 1.5);
    arrow.lineTo(tip, top + 1.5);
    arrow.closeSubpath();
    return body.united(arrow);
}

QRect TNewsHint::TextRect() const
{
    return QRect(Padding, ArrowHeight + Padding, m_body.width() - 2 * Padding,
                 m_body.height() - 2 * Padding);
}

void TNewsHint::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath path = BalloonPath();
    p.fillPath(path.translated(ShadowDepth, ShadowDepth), QColor(0, 0, 0, 110));
    p.fillPath(path, palette().color(QPalette::ToolTipBase));
    p.setPen(QPen(palette().color(QPalette::ToolTipText), 1));
    p.drawPath(path);
    p.drawText(TextRect(), Qt::TextWordWrap, m_text);
}

void TNewsHint::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    Dismiss();
}

bool TNewsHint::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && m_up) {
        switch (event->type()) {
        case QEvent::Move:
            Place();
            break;
        case QEvent::Resize:
            // The button bar is laid out after the window's resize.
            QTimer::singleShot(0, this, &TNewsHint::Place);
            break;
        case QEvent::Hide:
            hide();
            break;
        case QEvent::Show:
            Place();
            show();
            break;
        case QEvent::WindowStateChange:
            if (m_window->isMinimized()) {
                hide();
            } else if (m_window->isVisible()) {
                Place();
                show();
            }
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
