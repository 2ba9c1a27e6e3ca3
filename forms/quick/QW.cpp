// SPDX-License-Identifier: GPL-3.0-or-later
#include "QW.h"

#include "QuickPhrases.h"
#include "WindowTools.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <vector>

namespace {

constexpr int ClientWidth = 4470;
constexpr int ClientHeight = 3975;
constexpr int HeadingHeight = 255;

} // namespace

QW::QW(std::unique_ptr<SpeechEngine> ds, QWidget *parent)
    : Form(parent,
        Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_ds(std::move(ds))
{
    setWindowTitle(QStringLiteral("Quick Window!"));
    // The board was laid out for the classic 8-point dialog font; a larger desktop default
    // would not fit the 17-pixel buttons.
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    addButtons();
    addHeadings();
    setClientSizeTwips(ClientWidth, ClientHeight);
}

QW::~QW() = default;

void QW::load()
{
    WindowTools::MakeTopmost(twips());
}

void QW::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        bool wasSpeaking = false;
        if (m_stopAll) {
            wasSpeaking = m_stopAll();
        } else {
            wasSpeaking = m_ds->Speaking();
            m_ds->Stop();
        }
        if (!wasSpeaking)
            close();
        return;
    }
    // The buttons take Return themselves only in a dialog.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto *button = qobject_cast<QPushButton *>(focusWidget())) {
            button->animateClick();
            return;
        }
    }
    Form::keyPressEvent(event);
}

void QW::addButtons()
{
    std::vector<std::pair<const QuickPhrase *, QPushButton *>> buttons;
    for (const QuickPhrase &phrase : QuickPhrases) {
        auto *button = new QPushButton(QString::fromUtf8(phrase.caption), this);
        button->setObjectName(QString::fromLatin1(phrase.name));
        // A screen reader says the caption, as shown, and then the phrase the button speaks,
        // which the caption often shortens or stars out.
        button->setAccessibleName(QString::fromUtf8(phrase.caption).simplified());
        button->setAccessibleDescription(QString::fromUtf8(phrase.spoken));
        button->setGeometry(TwipWindow::toPixelRect(quickPhraseLeft(phrase.column), phrase.top,
            quickPhraseWidth(phrase.column), QuickPhraseHeight));
        const QString spoken = QString::fromUtf8(phrase.spoken);
        connect(button, &QPushButton::clicked, this, [this, spoken] {
            m_ds->Speak(spoken);
            emit phraseSpoken(spoken);
        });
        buttons.emplace_back(&phrase, button);
    }
    // Tab walks the board as a person reads it: each column top to bottom, left to right. The
    // headings never take the focus.
    std::stable_sort(buttons.begin(), buttons.end(), [](const auto &a, const auto &b) {
        return std::pair(a.first->column, a.first->top) < std::pair(b.first->column, b.first->top);
    });
    for (std::size_t i = 1; i < buttons.size(); ++i)
        setTabOrder(buttons[i - 1].second, buttons[i].second);
}

void QW::addHeadings()
{
    // Later children stack above earlier ones, so these are made bottom first: Misc. covers the
    // blanks at the start of Label1, and the column line runs over Label1.
    const QString lowerHeadings = QString(25, u' ') + QStringLiteral("Cusing") + QString(22, u' ')
        + QStringLiteral("Weird Stuff...");
    addLabel(QStringLiteral("Label1"), lowerHeadings, 120, 2040, 4215, true);
    addLabel(QStringLiteral("Data_0"), QStringLiteral("Questions"), 1320, 120, 1095, false);
    addLabel(QStringLiteral("Data_1"), QStringLiteral("Answers"), 120, 120, 1095, false);
    addLabel(QStringLiteral("Data_2"), QStringLiteral("Stallers"), 2640, 120, 1695, false);

    auto *line = new QFrame(this);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Plain);
    line->setLineWidth(1);
    // From (2520, 120) to (2520, 3840), both ends drawn.
    line->setGeometry(TwipWindow::toPixelRect(2520, 120, 0, 3840 - 120).adjusted(0, 0, 1, 1));

    addLabel(QStringLiteral("Label2"), QStringLiteral("Misc."), 240, 2040, 1095, true);
}

QLabel *QW::addLabel(
    const QString &name, const QString &text, int left, int top, int width, bool opaque)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setAutoFillBackground(opaque);
    label->setGeometry(TwipWindow::toPixelRect(left, top, width, HeadingHeight));
    return label;
}
