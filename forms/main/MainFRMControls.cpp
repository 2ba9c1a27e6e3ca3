// SPDX-License-Identifier: GPL-3.0-or-later
// The strip's controls: where each lies, how it looks, and what it is wired to.
#include "MainFRM.h"

#include "CornerButton.h"
#include "InlineCompletion.h"
#include "LineControl.h"
#include "OfferBand.h"
#include "PressLabel.h"
#include "ShapeControl.h"
#include "TextBox.h"
#include "WordSuggestions.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShortcut>

namespace {

// "OCR A Extended" and "MS Sans Serif" reach Debian's fonts through the application's font
// substitutions.
QFont windowFont(const char *family, double points)
{
    QFont font(QString::fromLatin1(family));
    font.setPointSizeF(points);
    return font;
}

QFont ocrFont(double points)
{
    return windowFont("OCR A Extended", points);
}

// The panel's captions, numbers and buttons.
QFont captionFont()
{
    return ocrFont(9.75);
}

QFont menuCornerFont()
{
    return windowFont("MS Sans Serif", 9.75);
}

// The captions were laid out for the narrower Windows face; where the Debian one would cut a
// caption off, its size steps down until the whole caption fits the control.
void shrinkToFit(QWidget *control)
{
    QFont font = control->font();
    while (control->sizeHint().width() > control->width() && font.pointSizeF() > 6.0) {
        font.setPointSizeF(font.pointSizeF() - 0.25);
        control->setFont(font);
    }
}

void setBackColour(QWidget *control, QPalette::ColorRole systemColour)
{
    QPalette palette = control->palette();
    palette.setColor(QPalette::Window, palette.color(systemColour));
    control->setPalette(palette);
    // Qt's buttons fill with the button colour; the back colour is the window's role here.
    control->setBackgroundRole(QPalette::Window);
    control->setAutoFillBackground(true);
}

QScrollBar *newScrollBar(const char *name, int minimum, int maximum, int value, QWidget *parent)
{
    auto *bar = new QScrollBar(Qt::Horizontal, parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setAccessibleName(QString::fromLatin1(name));
    bar->setRange(minimum, maximum);
    bar->setValue(value);
    bar->setSingleStep(1);
    bar->setPageStep(1);
    // A scroll bar is a tab stop, so the keyboard can set speed and pitch too.
    bar->setFocusPolicy(Qt::StrongFocus);
    // Qt's scroll bars turn the arrow keys round for scrolled content; here Right means more.
    bar->setInvertedControls(false);
    return bar;
}

QLabel *newLabel(const QString &name, const QString &caption, QWidget *parent)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setFont(captionFont());
    return label;
}

// A check box or option button of the panel. Qt has no caption colours; the text drawn on the
// highlight is the nearest of the palette.
template <typename Choice>
Choice *newChoice(const char *name, const QString &caption, bool checked, QWidget *parent)
{
    auto *choice = new Choice(caption, parent);
    choice->setObjectName(QString::fromLatin1(name));
    choice->setFont(captionFont());
    choice->setChecked(checked);
    setBackColour(choice, QPalette::HighlightedText);
    return choice;
}

} // namespace

void MainFRM::createPanel()
{
    m_speed = newScrollBar("Speed", 50, 250, SpeechEngine::StartingSpeed, this);
    m_speed->setGeometry(TwipWindow::toPixelRect(1320, 360, 3135, 255));
    m_pitch = newScrollBar("Pitch", 50, 400, SpeechEngine::StartingPitch, this);
    m_pitch->setGeometry(TwipWindow::toPixelRect(1320, 720, 3135, 255));
    // The labels follow a change, not every step of a drag: the number is shown once the box
    // is let go.
    connect(m_speed, &QScrollBar::valueChanged, this, [this] {
        if (!m_speed->isSliderDown())
            Speed_Change();
    });
    connect(m_speed, &QScrollBar::sliderReleased, this, &MainFRM::Speed_Change);
    connect(m_pitch, &QScrollBar::valueChanged, this, [this] {
        if (!m_pitch->isSliderDown())
            Pitch_Change();
    });
    connect(m_pitch, &QScrollBar::sliderReleased, this, &MainFRM::Pitch_Change);

    m_delEnterd = newChoice<QCheckBox>(
        "DelEnterd", QStringLiteral("Delete Text After Enter is Pressed"), true, this);
    m_delEnterd->setGeometry(TwipWindow::toPixelRect(480, 1080, 4575, 255));

    m_onTop = newChoice<QRadioButton>(
        "OnTop", QStringLiteral("Keep Main Form Always On Top"), true, this);
    m_onTop->setGeometry(TwipWindow::toPixelRect(840, 1440, 3855, 255));
    connect(m_onTop, &QRadioButton::clicked, this, &MainFRM::OnTop_Click);

    m_notOnTop = newChoice<QRadioButton>(
        "NotOnTop", QStringLiteral("Don't Keep Main Form On Top."), false, this);
    m_notOnTop->setGeometry(TwipWindow::toPixelRect(840, 1800, 3855, 255));
    connect(m_notOnTop, &QRadioButton::clicked, this, &MainFRM::OnTop_Click);

    m_okay = new QPushButton(QStringLiteral("Okay"), this);
    m_okay->setObjectName(QStringLiteral("OkayCMD"));
    m_okay->setFont(captionFont());
    // Enter presses the focused button, as on any desktop.
    m_okay->setAutoDefault(true);
    m_okay->setGeometry(TwipWindow::toPixelRect(1920, 2160, 1695, 255));
    connect(m_okay, &QPushButton::clicked, this, &MainFRM::OkayCMD_Click);

    m_pitchCaption = newLabel(QStringLiteral("InfoL_0"), QStringLiteral("Pitch:"), this);
    m_pitchCaption->setGeometry(TwipWindow::toPixelRect(480, 720, 735, 255));
    m_speedCaption = newLabel(QStringLiteral("InfoL_1"), QStringLiteral("Speed:"), this);
    m_speedCaption->setGeometry(TwipWindow::toPixelRect(480, 360, 735, 255));
    m_speedNow
        = newLabel(QStringLiteral("SpeedNow"), QString::number(SpeechEngine::StartingSpeed), this);
    m_speedNow->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_speedNow->setGeometry(TwipWindow::toPixelRect(4560, 360, 495, 255));
    m_pitchNow
        = newLabel(QStringLiteral("PitchNow"), QString::number(SpeechEngine::StartingPitch), this);
    m_pitchNow->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_pitchNow->setGeometry(TwipWindow::toPixelRect(4560, 720, 495, 255));
    m_speedCaption->setBuddy(m_speed);
    m_pitchCaption->setBuddy(m_pitch);

    for (QWidget *control : std::initializer_list<QWidget *> {
             m_delEnterd, m_onTop, m_notOnTop, m_okay, m_pitchCaption, m_speedCaption })
        shrinkToFit(control);
}

void MainFRM::createStrip()
{
    m_data = new TextBox(this);
    m_data->setObjectName(QStringLiteral("Data"));
    m_data->setAccessibleName(QStringLiteral("Text to speak"));
    m_data->setFont(ocrFont(9));
    m_data->setGeometry(TwipWindow::toPixelRect(120, 0, 5295, 285));
    // Keys of the box alone, so that the board and the panel keep theirs.
    for (const Qt::Key key : { Qt::Key_Escape, Qt::Key_Up, Qt::Key_Down })
        new QShortcut(
            QKeySequence(key), m_data, [this, key] { Data_KeyDown(key); }, Qt::WidgetShortcut);
    m_completion = std::make_unique<InlineCompletion>(m_data, m_suggestions.get());
    m_offerBand = new OfferBand(m_data);
    connect(m_data, &TextBox::returnPressed, this, &MainFRM::SpeakEnteredText);

    // A button, so that the keyboard and assistive technology reach the menu too.
    m_menuLabel = new CornerButton(this);
    m_menuLabel->setObjectName(QStringLiteral("MenuLBL"));
    m_menuLabel->setAccessibleName(QStringLiteral("Menu"));
    m_menuLabel->setFont(menuCornerFont());
    m_menuLabel->setCursor(Qt::PointingHandCursor);
    m_menuLabel->setGeometry(TwipWindow::toPixelRect(5400, -120, 135, 495));
    connect(m_menuLabel, &CornerButton::clicked, this, &MainFRM::MenuLBL_Click);
    // The desktop's key for a window's menu. Shift+F10 and the menu key stay the text's own.
    auto *menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    menuKey->setObjectName(QStringLiteral("MenuKey"));
    connect(menuKey, &QShortcut::activated, this, &MainFRM::MenuLBL_Click);

    m_mover = new PressLabel(this);
    m_mover->setObjectName(QStringLiteral("Mover"));
    m_mover->setAccessibleName(QStringLiteral("Move the window"));
    m_mover->setGeometry(TwipWindow::toPixelRect(0, 0, 5535, 2565));
    connect(m_mover, &PressLabel::pressed, this, &MainFRM::Mover_MouseDown);

    m_moverShape = new ShapeControl(this);
    m_moverShape->setObjectName(QStringLiteral("MoverShape"));
    m_moverShape->setGeometry(TwipWindow::toPixelRect(0, 0, 135, 285));
    m_menuShape = new ShapeControl(this);
    m_menuShape->setObjectName(QStringLiteral("MNUShape"));
    m_menuShape->setGeometry(TwipWindow::toPixelRect(5400, 0, 135, 285));
}

void MainFRM::createFrame()
{
    m_bottom = new LineControl({ 0, 2520 }, { 5520, 2520 }, this);
    m_bottom->setObjectName(QStringLiteral("Bottom"));
    m_right = new LineControl({ 5520, 240 }, { 5520, 2520 }, this);
    m_right->setObjectName(QStringLiteral("Right"));
    m_left = new LineControl({ 0, 240 }, { 0, 2520 }, this);
    m_left->setObjectName(QStringLiteral("Left"));
}

// Bottom to top: the drawings and labels, then Mover over them, then the menu corner, and the
// controls with windows of their own over everything, so that a press anywhere else lands on
// Mover and drags the strip.
void MainFRM::stackControls()
{
    const QList<QWidget *> bottomToTop = {
        m_menuShape,
        m_moverShape,
        m_pitchNow,
        m_speedNow,
        m_speedCaption,
        m_pitchCaption,
        m_left,
        m_right,
        m_bottom,
        m_mover,
        m_menuLabel,
        m_data,
        m_okay,
        m_notOnTop,
        m_onTop,
        m_delEnterd,
        m_pitch,
        m_speed,
    };
    for (QWidget *control : bottomToTop)
        control->raise();
}

void MainFRM::setTabOrder()
{
    const QList<QWidget *> chain
        = { m_data, m_menuLabel, m_okay, m_notOnTop, m_onTop, m_delEnterd, m_pitch, m_speed };
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    // The lowest tab index that takes the focus has it when the window first shows.
    m_data->setFocus();
}

void MainFRM::createNoSoundMark()
{
    m_noSound = new QLabel(QStringLiteral("No sound"), this);
    m_noSound->setObjectName(QStringLiteral("NoSound"));
    m_noSound->setFont(ocrFont(9));
    m_noSound->setAlignment(Qt::AlignCenter);
    QPalette warning = m_noSound->palette();
    warning.setColor(QPalette::Window, QColor(0xb0, 0x00, 0x20));
    warning.setColor(QPalette::WindowText, Qt::white);
    m_noSound->setPalette(warning);
    m_noSound->setAutoFillBackground(true);
    const QString why = QStringLiteral(
        "No sound server is running, so nothing can be heard. Lines stay in the box until it is.");
    m_noSound->setToolTip(why);
    m_noSound->setAccessibleDescription(why);
    const QRect box = m_data->geometry();
    const int width = m_noSound->sizeHint().width() + 6;
    m_noSound->setGeometry(box.right() + 1 - width, box.top(), width, box.height());
    m_noSound->hide();
}
