// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainFRM.h"

MainFRM::MainFRM(QWidget *parent)
    : Form(parent, Qt::FramelessWindowHint)
{
    setWindowTitle("Vocalo 1.0");
    setClientSizeTwips(5535, 285);
}
