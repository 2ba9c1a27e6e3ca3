// SPDX-License-Identifier: GPL-3.0-or-later
// Inputs larger than anyone types: a pasted megabyte followed by typing, and ten thousand lines
// entered as fast as a keyboard sends them. The strip must keep answering, hand every line on in
// order and give back the memory a big text cost once the box is emptied.
#include "MainWindowFixture.h"
#include "PastedText.h"
#include "TextBox.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTimer>

#include <cstdio>
#include <fstream>

namespace {

double residentMegabytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return double(resident) * 4096.0 / 1e6;
}

// The model of English arrives from a thread of its own and is part of the strip at rest: it
// is there once the empty line is offered its first word, with nothing typed.
void waitForTheModelOfEnglish(TextBox &data)
{
    EXPECT_TRUE(QTest::qWaitFor([&] { return data.suggestion() == "I"; }, 30000));
}

TEST_F(MainWindowFixture, AfterAPastedMegabyteKeysEchoAndEnterGivesTheMemoryBack)
{
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    TextBox &data = main->Data();
    data.setFocus();
    waitForTheModelOfEnglish(data);
    const double before = residentMegabytes();
    const QString text = megabyteOfWords();
    QApplication::clipboard()->setText(text);
    QTest::keyClick(&data, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(data.text().size(), text.size());
    const double pasted = residentMegabytes();

    QElapsedTimer echo;
    echo.start();
    QTest::keyClicks(&data, "xyz");
    data.repaint();
    std::printf("three keys echoed and drawn in %lld ms\n", static_cast<long long>(echo.elapsed()));
    EXPECT_TRUE(data.text().endsWith("xyz"));

    QTest::keyClick(&data, Qt::Key_Return);
    ASSERT_EQ(mainLog->spoken.size(), 2) << "the greeting, then the text";
    EXPECT_EQ(mainLog->spoken.last(), text + "xyz");
    EXPECT_TRUE(data.text().isEmpty());
    // The copies that are the test's own: the speech log's and the clipboard's.
    mainLog->spoken.clear();
    QApplication::clipboard()->clear();
    const double entered = residentMegabytes();
    std::printf(
        "resident: %.1f MB before, %.1f MB pasted, %.1f MB after Enter\n", before, pasted, entered);
#ifndef __SANITIZE_ADDRESS__ // its allocator keeps freed memory in quarantine
    // Two megabytes of UTF-16 in the box and as much on the clipboard: a paste costs its text,
    // not a layout of it.
    EXPECT_LT(pasted - before, 12.0) << "the paste costs more than its text";
    // The line kept for Up is two megabytes; the rest is the allocator's, which keeps a little
    // more since the model of English is read on a thread of its own.
    EXPECT_LT(entered - before, 7.0) << "the paste's cost stays";
#endif
}

// Ten thousand lines posted at once, as a keyboard's queue would hold them; a timer that must
// fire while they are handled stands for the user's next keystroke.
TEST_F(MainWindowFixture, TenThousandLinesAreHandedOnInOrderAndTheStripStillAnswers)
{
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    TextBox &data = main->Data();
    data.setFocus();
    waitForTheModelOfEnglish(data);
    mainLog->spoken.clear();
    constexpr int Lines = 10000;
    auto post = [&](Qt::Key key, const QString &text) {
        QCoreApplication::postEvent(
            &data, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
        QCoreApplication::postEvent(
            &data, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, text));
    };
    const double before = residentMegabytes();
    for (int line = 0; line < Lines; ++line) {
        for (const QChar c : QString::number(line))
            post(Qt::Key(c.unicode()), c);
        post(Qt::Key_Return, QStringLiteral("\r"));
    }
    int answered = 0;
    QTimer answering;
    answering.setInterval(0);
    QObject::connect(&answering, &QTimer::timeout, [&] { ++answered; });
    answering.start();
    // Only a hang is bounded.
    ASSERT_TRUE(QTest::qWaitFor([&] { return mainLog->spoken.size() >= Lines; }, 60000))
        << mainLog->spoken.size() << " lines handed on";
    answering.stop();
    for (int line = 0; line < Lines; ++line)
        ASSERT_EQ(mainLog->spoken.at(line), QString::number(line)) << "in order";
    EXPECT_GT(answered, 0) << "the strip answered nothing while the lines came";
    EXPECT_TRUE(data.text().isEmpty());
    const double after = residentMegabytes();
    std::printf("10000 lines: resident %.1f MB before, %.1f MB after; timer fired %d times\n",
        before, after, answered);
#ifndef __SANITIZE_ADDRESS__ // its allocator keeps freed memory in quarantine
    EXPECT_LT(after - before, 20.0) << "memory grows with the number of lines";
#endif
}

} // namespace
