// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

// The hidden page's picture: a face lit from one side out of the dark, 334 x 303, 24-bit.
QImage paintCreditsPicture();
