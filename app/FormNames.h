// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The names the windows are registered under, which are their class names. A window that may
// not include another's header (the includes run one way) reaches it by one of these.
namespace FormNames {

inline const QString MainFRM = QStringLiteral("MainFRM");
inline const QString QW = QStringLiteral("QW");
inline const QString Secret = QStringLiteral("Secret");

} // namespace FormNames
