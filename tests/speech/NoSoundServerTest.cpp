// SPDX-License-Identifier: GPL-3.0-or-later
// A desktop without a sound server: the real device output, pointed at a socket nobody serves.
// Its own executable, so nothing in the process has talked to a server before.
#include "FliteSpeechEngine.h"
#include "SpeechEngineFactory.h"
#include "StderrCapture.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <string>

TEST(NoSoundServerTest, SpeakReturnsAtOnceAndSaysSoOnce)
{
    QTemporaryDir dir;
    qputenv("PULSE_SERVER", ("unix:" + dir.path() + "/no-server-here").toLocal8Bit());
    qputenv("PULSE_CLIENTCONFIG", "/dev/null");

    StderrCapture captured;
    {
        auto engine = createSpeechEngine("Vocalo test");
        engine->SetSpeed(250);
        QElapsedTimer clock;
        clock.start();
        engine->Speak("Nobody hears this.");
        engine->Speak("Nor this.");
        // A hang check, not a timing: a Speak that waited for a device would take seconds.
        EXPECT_LT(clock.elapsed(), 500);
        // Both texts play into the null output in real time and then the engine is idle.
        QTest::qWait(3000);
    }
    const std::string errors = captured.take();
    const std::string notice = "vocalo: no audio output";
    ASSERT_NE(errors.find(notice), std::string::npos) << errors;
    EXPECT_EQ(errors.find(notice), errors.rfind(notice)) << errors;
}
