// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

// The splash picture: glossy, multicoloured 3-D letters "VL" over rows of binary digits,
// 408 x 332, 24-bit. Its bottom right stays dark for the light "Lite Version" label.
QImage paintIntroPicture();
