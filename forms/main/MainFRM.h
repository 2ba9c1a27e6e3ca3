// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Form.h"

class MainFRM : public Form
{
    Q_OBJECT
public:
    explicit MainFRM(QWidget *parent = nullptr);
};
