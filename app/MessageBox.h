// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

// The system's modal message box: a prompt, a title and one OK button. Returns once the user
// has closed it. Tests hand in an answerer so that no test waits on a modal box.
namespace MessageBox {

void show(const QString &prompt, const QString &title);

using Answerer = std::function<void(const QString &prompt, const QString &title)>;
// Every later box goes to the answerer instead of the screen; an empty one restores the screen.
void answerWith(Answerer answerer);

} // namespace MessageBox
