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
    box.exec();
}

void answerWith(Answerer newAnswerer)
{
    answerer() = std::move(newAnswerer);
}

} // namespace MessageBox
