// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Form.h"
#include "LineRecall.h"
#include "MenuForm.h"
#include "SpeechEngine.h"

#include <QPointer>

#include <memory>

class CornerButton;
class InlineCompletion;
class LineControl;
class OfferBand;
class PressLabel;
class QCheckBox;
class QLabel;
class TextBox;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTimer;
class ShapeControl;
class WordSuggestions;

// The strip the user types into: a borderless one-line window whose Enter speaks the line
// through its own speech control. Below the strip lies the options panel (speed, pitch, the
// on-top and clear-after-Enter choices), uncovered by the menu's Options command. All state
// lives in the controls.
class QW;

class MainFRM : public Form
{
    Q_OBJECT
public:
    static constexpr int CollapsedHeight = 285;
    static constexpr int ExpandedHeight = 2535;

    explicit MainFRM(std::unique_ptr<SpeechEngine> ds, QWidget *parent = nullptr);
    ~MainFRM() override;

    void load() override;

    SpeechEngine &DS() { return *m_ds; }
    TextBox &Data() { return *m_data; }

    // Speaks what is in Data and, when DelEnterd is checked and the line can be heard, clears it.
    void SpeakEnteredText();
    // What the menu's commands do to the strip, which it reaches through the registry.
    static MenuForm::StripCommands menuCommands();
    // Uncovers the options panel; the box takes no keys until Okay folds it away.
    void openOptions();

    // Silences every voice of the program: this window's and the phrase board's, with what they
    // have queued. Returns whether any of them was speaking.
    bool stopAllVoices();

protected:
    void resizeEvent(QResizeEvent *event) override;
    // The strip is the program: closing it from the task bar ends the program as Exit does,
    // rather than leaving hidden windows and speech workers running with nothing on screen.
    void closeEvent(QCloseEvent *event) override;

private:
    void createPanel();
    void createStrip();
    void createFrame();
    void stackControls();
    void setTabOrder();
    void createNoSoundMark();
    // The panel's controls exist only while it is uncovered: folded away, they are out of the
    // focus chain and out of sight of assistive technology.
    void showPanel(bool shown);
    void showSoundState();
    // Reaches the phrase board, which may have been unloaded since, and hands it the Esc key's
    // reach.
    void reachQuickWindow();

    void Data_KeyDown(int keyCode);
    void MenuLBL_Click();
    void Mover_MouseDown();
    void OnTop_Click();
    void OkayCMD_Click();
    void Speed_Change();
    void Pitch_Change();
    void Checker_Timer();

    std::unique_ptr<SpeechEngine> m_ds;
    // The phrase board the timer keeps in step, reached again once it has been unloaded.
    QPointer<QW> m_quick;
    LineRecall m_recall;
    // What the strip offers to complete: learns each line spoken, typed or from the board.
    std::unique_ptr<WordSuggestions> m_suggestions;
    // Declared after the suggestions it asks, so that it goes first.
    std::unique_ptr<InlineCompletion> m_completion;

    QTimer *m_checker = nullptr;
    QScrollBar *m_speed = nullptr;
    QScrollBar *m_pitch = nullptr;
    QCheckBox *m_delEnterd = nullptr;
    QRadioButton *m_onTop = nullptr;
    QRadioButton *m_notOnTop = nullptr;
    QPushButton *m_okay = nullptr;
    TextBox *m_data = nullptr;
    // The words offered, a row of them under the strip.
    OfferBand *m_offerBand = nullptr;
    CornerButton *m_menuLabel = nullptr;
    PressLabel *m_mover = nullptr;
    LineControl *m_bottom = nullptr;
    LineControl *m_right = nullptr;
    LineControl *m_left = nullptr;
    QLabel *m_pitchCaption = nullptr;
    QLabel *m_speedCaption = nullptr;
    QLabel *m_speedNow = nullptr;
    QLabel *m_pitchNow = nullptr;
    ShapeControl *m_moverShape = nullptr;
    ShapeControl *m_menuShape = nullptr;
    // Shown at the strip's right end while what it says cannot be heard.
    QLabel *m_noSound = nullptr;
};
