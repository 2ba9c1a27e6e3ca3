// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainFRM.h"

#include "Application.h"
#include "CornerButton.h"
#include "FormRegistry.h"
#include "InlineCompletion.h"
#include "MenuForm.h"
#include "QW.h"
#include "ShapeControl.h"
#include "TextBox.h"
#include "WindowTools.h"
#include "WordSuggestions.h"

#include <QCheckBox>
#include <QCursor>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

constexpr int ClientWidth = 5535;

// Once the box is emptied, a pasted megabyte leaves megabytes of freed heap (the text, its undo
// history, the copies handed to speech) that the allocator would keep. Give it back.
constexpr qsizetype LargeText = 64 * 1024;

void returnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace

MainFRM::MainFRM(std::unique_ptr<SpeechEngine> ds, QWidget *parent)
    : Form(parent, Qt::FramelessWindowHint)
    , m_ds(std::move(ds))
    , m_suggestions(std::make_unique<WordSuggestions>())
{
    setWindowTitle(QStringLiteral("Vocalo 1.0"));
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    createPanel();
    createStrip();
    createFrame();
    stackControls();
    setTabOrder();
    createNoSoundMark();

    setClientSizeTwips(ClientWidth, ExpandedHeight);
    // People see the collapsed strip: centre that, and let the panel open below it.
    twips().setTop(twips().top() + static_cast<float>(ExpandedHeight - CollapsedHeight) / 2.0f);

    m_checker = new QTimer(this);
    m_checker->setObjectName(QStringLiteral("Checker"));
    m_checker->setInterval(1);
    m_checker->setTimerType(Qt::PreciseTimer);
    connect(m_checker, &QTimer::timeout, this, &MainFRM::Checker_Timer);
    m_checker->start();

    // Told on the sound server's thread: the strip looks again on its own.
    m_ds->setHeardListener([this] {
        QMetaObject::invokeMethod(this, &MainFRM::showSoundState, Qt::QueuedConnection);
    });
    showSoundState();
}

MainFRM::~MainFRM()
{
    m_ds->setHeardListener(nullptr);
}

void MainFRM::showSoundState()
{
    const bool heard = m_ds->Heard();
    if (heard != m_noSound->isHidden()) {
        m_noSound->setVisible(!heard);
        // The box gives way to the mark rather than hiding the end of the line under it.
        QRect box = m_data->geometry();
        box.setRight(heard ? m_noSound->geometry().right() : m_noSound->x() - 1);
        m_data->setGeometry(box);
        m_data->setAccessibleName(
            heard ? QStringLiteral("Text to speak") : QStringLiteral("Text to speak, no sound"));
    }
}

void MainFRM::resizeEvent(QResizeEvent *event)
{
    showPanel(height() > TwipWindow::toPixels(CollapsedHeight));
    Form::resizeEvent(event);
}

void MainFRM::showPanel(bool shown)
{
    const QList<QWidget *> panel = { m_speed, m_pitch, m_delEnterd, m_onTop, m_notOnTop, m_okay,
        m_pitchCaption, m_speedCaption, m_speedNow, m_pitchNow };
    if (m_okay->isHidden() != shown)
        return;
    for (QWidget *control : panel)
        control->setVisible(shown);
    // The box is disabled while the panel is open: the keyboard starts on the panel, not on the
    // menu corner that the box's focus passed to.
    if (shown)
        m_okay->setFocus();
}

void MainFRM::load()
{
    twips().setHeight(CollapsedHeight);
    if (m_onTop->isChecked())
        WindowTools::MakeTopmost(twips());
    if (!m_onTop->isChecked())
        WindowTools::MakeNotTopmost(twips());
    if (!m_notOnTop->isChecked())
        WindowTools::MakeTopmost(twips());
    if (m_notOnTop->isChecked())
        WindowTools::MakeNotTopmost(twips());
    // The program's own greeting, not something the user chose to say: kept out of calls.
    m_ds->SpeakToDeskOnly(QStringLiteral("Vocalo 1 Point O By. Quillon!"));
}

void MainFRM::closeEvent(QCloseEvent *)
{
    Application::endNow(0);
}

// The keys a single-line box has no use for: Esc, Up and Down.
void MainFRM::Data_KeyDown(int keyCode)
{
    std::optional<QString> recalled;
    if (keyCode == Qt::Key_Escape)
        stopAllVoices();
    if (keyCode == Qt::Key_Up)
        recalled = m_recall.back(m_data->text());
    if (keyCode == Qt::Key_Down)
        recalled = m_recall.forward();
    // setText leaves the cursor at the end, where typing goes on.
    if (recalled)
        m_data->setText(*recalled);
}

void MainFRM::SpeakEnteredText()
{
    const qsizetype length = m_data->text().size();
    // Asked before speaking: a line spoken into silence stays in the box, to be said again
    // once there is sound, rather than cleared as if someone had heard it.
    const bool heard = m_ds->Heard();
    m_ds->Speak(m_data->text());
    m_recall.remember(m_data->text());
    m_suggestions->learn(m_data->text());
    if (!heard)
        showSoundState();
    if (heard && m_delEnterd->checkState() == Qt::Checked) {
        m_data->setText(QString());
        if (length >= LargeText)
            returnFreedMemory();
    }
}

bool MainFRM::stopAllVoices()
{
    bool speaking = m_ds->Speaking();
    m_ds->Stop();
    if (m_quick) {
        speaking = m_quick->DS().Speaking() || speaking;
        m_quick->DS().Stop();
    }
    return speaking;
}

void MainFRM::reachQuickWindow()
{
    m_quick = &FormRegistry::instance().reach<QW>();
    m_quick->setStopAllVoices([this] { return stopAllVoices(); });
    // The board's phrases are offered once the user has said them, never before: a board of
    // insults must not put them on everyday word starts.
    connect(m_quick, &QW::phraseSpoken, this,
        [this](const QString &phrase) { m_suggestions->learn(phrase); });
}

// A click opens the menu at the pointer; a key opens it under the corner, with its first
// command picked, so that a screen reader has a command to say.
MenuForm::StripCommands MainFRM::menuCommands()
{
    auto strip = [] -> MainFRM & { return FormRegistry::instance().reach<MainFRM>(); };
    return { [strip] { strip().openOptions(); }, [strip] { return strip().Data().text(); } };
}

void MainFRM::openOptions()
{
    m_data->setEnabled(false);
    twips().setHeight(ExpandedHeight);
}

void MainFRM::MenuLBL_Click()
{
    QMenu &menu = FormRegistry::instance().reach<MenuForm>().MNUFile();
    if (m_menuLabel->underMouse()) {
        menu.popup(QCursor::pos());
        return;
    }
    menu.popup(mapToGlobal(m_menuShape->geometry().bottomLeft() + QPoint(0, 1)));
    menu.setActiveAction(menu.actions().value(0));
}

void MainFRM::Mover_MouseDown()
{
    WindowTools::BeginDragMove(twips());
}

void MainFRM::OnTop_Click()
{
    if (m_onTop->isChecked())
        WindowTools::MakeTopmost(twips());
    if (m_notOnTop->isChecked())
        WindowTools::MakeNotTopmost(twips());
}

void MainFRM::OkayCMD_Click()
{
    twips().setHeight(CollapsedHeight);
    m_data->setEnabled(true);
    // The button that had the focus has just folded out of sight: typing goes on in the box.
    m_data->setFocus();
}

void MainFRM::Speed_Change()
{
    m_speedNow->setText(QString::number(m_speed->value()));
}

void MainFRM::Pitch_Change()
{
    m_pitchNow->setText(QString::number(m_pitch->value()));
}

// Runs a thousand times a second: four reads of the scroll bars, four unchanged writes that the
// speech controls make cheap, one look-up of the phrase board.
void MainFRM::Checker_Timer()
{
    // A thousand times a second: the phrase board is looked up only when it is not loaded.
    if (!m_quick)
        reachQuickWindow();
    const int speed = m_speed->value();
    const int pitch = m_pitch->value();
    m_ds->SetSpeed(speed);
    m_ds->SetPitch(pitch);
    m_quick->DS().SetSpeed(speed);
    m_quick->DS().SetPitch(pitch);
}
