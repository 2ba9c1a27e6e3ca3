// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Form.h"

class QW : public Form
{
    Q_OBJECT
public:
    explicit QW(QWidget *parent = nullptr);
};
