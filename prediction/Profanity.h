// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// Swearing and insults, which general English data holds like any other words: offered from
// there, one Tab would have the user say what they never meant. Only words the user brought
// themselves may be offered.
namespace Profanity {

// A lower-case word.
bool isOffensive(const QByteArray &word);

} // namespace Profanity
