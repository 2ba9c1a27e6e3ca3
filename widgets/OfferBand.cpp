// SPDX-License-Identifier: GPL-3.0-or-later
#include "OfferBand.h"

#include "TextBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QScreen>

namespace {

// One offer: its number dimmed, then the word. To the pointer and to assistive technology it is
// a push button named by its word; the keyboard never lands on it (F1 to F3 are its keys).
class OfferButton : public QAbstractButton
{
public:
    OfferButton(int number, QWidget *parent) : QAbstractButton(parent), m_number(number)
    {
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_Hover);
        setCursor(Qt::PointingHandCursor);
    }

    void setWord(const QString &word)
    {
        setText(word);
        setAccessibleName(word);
        setVisible(!word.isEmpty());
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const bool pointed = underMouse() || isDown();
        const QPalette &colours = palette();
        painter.fillRect(rect(), colours.color(pointed ? QPalette::Highlight : QPalette::Base));
        const QFontMetrics metrics = fontMetrics();
        const QString number = QString::number(m_number) + u' ';
        const int margin = metrics.horizontalAdvance(u' ') / 2;
        const QRect line = rect().adjusted(margin, 0, -margin, 0);
        painter.setPen(
            colours.color(pointed ? QPalette::HighlightedText : QPalette::PlaceholderText));
        painter.drawText(line, Qt::AlignVCenter | Qt::AlignLeft, number);
        painter.setPen(colours.color(pointed ? QPalette::HighlightedText : QPalette::Text));
        const QRect word = line.adjusted(metrics.horizontalAdvance(number), 0, 0, 0);
        painter.drawText(word, Qt::AlignVCenter | Qt::AlignLeft,
            metrics.elidedText(text(), Qt::ElideRight, word.width()));
    }
    void enterEvent(QEnterEvent *event) override
    {
        update();
        QAbstractButton::enterEvent(event);
    }
    void leaveEvent(QEvent *event) override
    {
        update();
        QAbstractButton::leaveEvent(event);
    }

private:
    int m_number;
};

} // namespace

OfferBand::OfferBand(TextBox *box)
    : QWidget(box->window(), Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus)
    , m_box(box)
{
    setObjectName(QStringLiteral("Offers"));
    setWindowTitle(tr("Vocalo offers"));
    setAccessibleName(tr("Words offered"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFont(box->font());
    setPalette(box->palette());
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    auto *row = new QHBoxLayout(this);
    // A hairline frame, so that the row reads as the strip's and not as part of what lies below.
    row->setContentsMargins(1, 0, 1, 1);
    row->setSpacing(0);
    for (size_t i = 0; i < m_words.size(); ++i) {
        auto *word = new OfferButton(int(i) + 1, this);
        // Each word keeps its third of the band, so that a pointer finds the same one in the
        // same place however many are offered.
        QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        policy.setRetainSizeWhenHidden(true);
        word->setSizePolicy(policy);
        word->setObjectName(QStringLiteral("Offer%1").arg(i + 1));
        connect(word, &QAbstractButton::clicked, this, [this, i] {
            if (m_box)
                m_box->takeOffer(qsizetype(i));
        });
        row->addWidget(word, 1);
        m_words[i] = word;
    }
    connect(box, &TextBox::offersChanged, this, &OfferBand::showOffers);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, &OfferBand::showOffers);
    box->installEventFilter(this);
    box->window()->installEventFilter(this);
    showOffers();
}

OfferBand::~OfferBand() = default;

void OfferBand::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, -1, -1, -1));
}

QRect OfferBand::placeFor(const QRect &anchor, int height, const QRect &screen)
{
    const bool roomBelow = anchor.bottom() + height <= screen.bottom();
    return QRect(anchor.left(), roomBelow ? anchor.bottom() + 1 : anchor.top() - height,
        anchor.width(), height);
}

bool OfferBand::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
        if (watched == m_box->window())
            place();
        break;
    case QEvent::FontChange:
        if (watched == m_box)
            setFont(m_box->font());
        showOffers();
        break;
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::EnabledChange:
        showOffers();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void OfferBand::showOffers()
{
    if (!m_box)
        return;
    const QStringList &words = m_box->offers().words;
    for (size_t i = 0; i < m_words.size(); ++i)
        static_cast<OfferButton *>(m_words[i])
            ->setWord(qsizetype(i) < words.size() ? words.at(qsizetype(i)) : QString());
    // A Wayland desktop puts a window of its own where it likes, not under the strip, and over
    // whatever lies there; there the words are F1 to F3's alone (XWayland places the row).
    static const bool placeable
        = !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    const bool wanted = placeable && !words.isEmpty() && m_box->isEnabled()
        && m_box->window()->isVisible()
        && QGuiApplication::applicationState() == Qt::ApplicationActive;
    if (wanted) {
        place();
        show();
    } else {
        hide();
    }
}

void OfferBand::place()
{
    QWidget *strip = m_box->window();
    const QScreen *screen = strip->screen();
    const QRect anchor = strip->frameGeometry();
    setGeometry(placeFor(anchor, m_box->height(), screen ? screen->availableGeometry() : QRect()));
}
