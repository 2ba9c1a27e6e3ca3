// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace desktop {

// Checks the condition every `stepMs` until it holds or `timeoutMs` have passed (the last check
// comes at the deadline). In between it runs this thread's Qt event loop when there is an
// application, so a test's own windows and clipboard go on answering while it waits.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 5000, int stepMs = 10);

} // namespace desktop
