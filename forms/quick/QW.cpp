// SPDX-License-Identifier: GPL-3.0-or-later
#include "QW.h"

#include "WindowTools.h"

QW::QW(std::unique_ptr<SpeechEngine> ds, QWidget *parent)
    : Form(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                       | Qt::WindowCloseButtonHint)
    , m_ds(std::move(ds))
{
}

QW::~QW() = default;

void QW::load()
{
    WindowTools::MakeTopmost(twips());
}

void QW::createHeadings() { }

void QW::createButtons() { }
