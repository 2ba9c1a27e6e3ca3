// SPDX-License-Identifier: GPL-3.0-or-later
#include "MessageBox.h"

#include <QMessageBox>

namespace MessageBox {
namespace {
Answerer &answerer()
{
    static Answerer current;
    return current;
}
}

void show(const QString &prompt, const QString &title)
{
    if (answerer()) {
        answerer()(prompt, title);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, title, prompt, QMessageBox::Ok);
    // The strip keeps itself above other windows; a box under it would hide its own button.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

void answerWith(Answerer newAnswerer)
{
    answerer() = std::move(newAnswerer);
}

} // namespace MessageBox
