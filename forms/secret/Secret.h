// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Form.h"

class Secret : public Form
{
    Q_OBJECT
public:
    explicit Secret(QWidget *parent = nullptr);
};
