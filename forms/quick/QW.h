// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Form.h"
#include "SpeechEngine.h"

#include <functional>
#include <memory>

class QLabel;

// The phrase board: 36 buttons, each speaking its fixed phrase through the window's own speech
// control. It always sits in the keep-above band; the main window's timer keeps its DS's speed
// and pitch in step with the strip's scroll bars.
class QW : public Form
{
    Q_OBJECT
public:
    explicit QW(std::unique_ptr<SpeechEngine> ds, QWidget *parent = nullptr);
    ~QW() override;

    void load() override;

    SpeechEngine &DS() { return *m_ds; }

    // Esc silences every voice of the program, not only the board's: the strip hands in how,
    // returning whether anything was speaking.
    void setStopAllVoices(std::function<bool()> stopAll) { m_stopAll = std::move(stopAll); }

protected:
    // Esc stops the speech, or with nothing speaking closes the board, as a dialog closes;
    // Return presses the focused button.
    void keyPressEvent(QKeyEvent *event) override;

signals:
    // A button has just spoken its phrase: the user said it.
    void phraseSpoken(const QString &phrase);

private:
    QLabel *addLabel(
        const QString &name, const QString &text, int left, int top, int width, bool opaque);
    void addButtons();
    void addHeadings();

    std::unique_ptr<SpeechEngine> m_ds;
    std::function<bool()> m_stopAll;
};
