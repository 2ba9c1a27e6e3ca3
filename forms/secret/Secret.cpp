// SPDX-License-Identifier: GPL-3.0-or-later
#include "Secret.h"

Secret::Secret(QWidget *parent)
    : Form(parent)
{
}
