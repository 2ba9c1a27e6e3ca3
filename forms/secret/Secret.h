// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Form.h"

class PressLabel;

// The hidden credits page: a borderless picture that greets with a message box the first time
// it is loaded and goes back to the main window when clicked.
class Secret : public Form
{
    Q_OBJECT
public:
    explicit Secret(QWidget *parent = nullptr);

    void load() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Image_Click();

    PressLabel *m_image;
};
