// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Form.h"
#include "SpeechEngine.h"

#include <QPixmap>

#include <memory>

class QLabel;

// The splash the process starts with. Its load handler runs the whole opening: it shows the
// picture, greets the user aloud, waits, slides off the top of the screen, drops through it,
// hides and hands over to the main window. A click on the picture beeps, also while the
// opening runs.
class IntroFRM : public Form
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = 6090;
    static constexpr int ClientHeight = 4965;

    explicit IntroFRM(std::unique_ptr<SpeechEngine> ds, QWidget *parent = nullptr);
    ~IntroFRM() override;

    void load() override;

    QLabel &Data() { return *m_data; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Click();

    std::unique_ptr<SpeechEngine> m_ds;
    QPixmap m_picture;
    QLabel *m_data = nullptr;
    bool m_opening = false;
    bool m_pressed = false;
};
