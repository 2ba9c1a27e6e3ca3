// SPDX-License-Identifier: GPL-3.0-or-later
#include "Application.h"
#include "MessageBox.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>

namespace {

// An error that leaves an event handler ends the process after a box titled "Vocalo" with the
// error's text. The box is answered by printing it, so the child process's output shows it.
void throwFromAClickHandler()
{
    MessageBox::answerWith([](const QString &prompt, const QString &title) {
        std::fprintf(stderr, "box [%s] [%s]\n", qPrintable(title), qPrintable(prompt));
    });
    QPushButton button;
    QObject::connect(&button, &QPushButton::clicked, [] { throw std::overflow_error("Overflow"); });
    // Delivered through the application object, as the event loop would.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton,
        Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton,
        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&button, &press);
    QCoreApplication::sendEvent(&button, &release);
    std::fprintf(stderr, "handler error was swallowed\n");
    std::_Exit(0);
}

TEST(FatalError, AnErrorLeavingAHandlerIsReportedAndEndsTheProcess)
{
    ASSERT_EXIT(
        throwFromAClickHandler(), ::testing::ExitedWithCode(1), R"(box \[Vocalo\] \[Overflow\])");
}

} // namespace

// The handler under test is our application object's, so this test makes that one.
int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    Application app(argc, argv);
    return RUN_ALL_TESTS();
}
