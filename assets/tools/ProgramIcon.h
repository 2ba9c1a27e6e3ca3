// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

#include <vector>

// The program icon: a speech bubble holding a bar of rainbow sound levels on a blue tile.
// The SVG and the painted sizes come from the same shapes, so every size shows the same icon.
QString programIconSvg();
QImage paintProgramIcon(int size);
// The sizes of the hicolor icon theme that get a painted copy.
std::vector<int> programIconSizes();
