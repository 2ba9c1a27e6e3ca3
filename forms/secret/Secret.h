// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Form.h"

class QLabel;

// The hidden credits page: a borderless picture that greets with a message box the first time
// it is loaded and goes back to the main window when clicked.
class Secret : public Form
{
    Q_OBJECT
public:
    explicit Secret(QWidget *parent = nullptr);

    void load() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Image_Click();

    QLabel *m_image;
    bool m_pressedOnImage = false;
};
