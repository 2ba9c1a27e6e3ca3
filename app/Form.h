// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TwipWindow.h"

#include <QWidget>

// A top-level window of the system. The form registry creates it and runs its load handler;
// whoever wants it on screen calls Show. Closing it with its close box unloads it.
class Form : public QWidget
{
    Q_OBJECT
public:
    explicit Form(QWidget *parent = nullptr, Qt::WindowFlags flags = {});

    // The load handler: runs once, right after the registry has created the window.
    virtual void load() { }

    // Always modeless; showing a shown window brings it forward.
    void Show();
    void Hide();

    TwipWindow &twips() { return *m_twips; }

protected:
    // Gives the form its client size in twips and centres it on the screen.
    void setClientSizeTwips(int width, int height);
    // A window not listed in the task bar says so to the window manager each time it shows.
    void setListedInTaskBar(bool listed) { m_listedInTaskBar = listed; }

    void showEvent(QShowEvent *event) override;

private:
    TwipWindow *m_twips;
    bool m_listedInTaskBar = true;
};
