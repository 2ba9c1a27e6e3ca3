// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Form.h"

#include <functional>

class QMenu;

// Never seen: it only owns the menu that the strip pops up from its menu corner, and runs the
// menu's commands.
class MenuForm : public Form
{
    Q_OBJECT
public:
    static constexpr auto AccessCode = "ZAZORUROREZIVAVE";

    // What the commands do to the strip, handed in by whoever makes the menu: the menu knows no
    // window of its own accord but by name.
    struct StripCommands
    {
        std::function<void()> openOptions;
        std::function<QString()> typedText;
    };

    explicit MenuForm(StripCommands strip, QWidget *parent = nullptr);

    void load() override;

    QMenu &MNUFile() { return *m_file; }

private:
    void MNUOptions_Click();
    void MNUQuickWindow_Click();
    void MNUSecretPlace_Click();
    void MNUAbout_Click();
    void MNUExit_Click();

    StripCommands m_strip;
    QMenu *m_file;
};
