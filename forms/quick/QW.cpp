// SPDX-License-Identifier: GPL-3.0-or-later
#include "QW.h"

QW::QW(QWidget *parent)
    : Form(parent)
{
}
