// SPDX-License-Identifier: GPL-3.0-or-later
#include "IntroFRM.h"
#include "Application.h"
#include "FormRegistry.h"
#include "RecordingSpeechEngine.h"

#include <QEvent>
#include <QFontInfo>
#include <QLabel>
#include <QMoveEvent>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Remembers, for each text it is asked to speak, what the intro window looked like then.
class WatchingSpeechEngine : public RecordingSpeechEngine
{
public:
    explicit WatchingSpeechEngine(std::shared_ptr<Log> log, std::function<void()> atSpeak)
        : RecordingSpeechEngine(std::move(log)), m_atSpeak(std::move(atSpeak))
    { }
    void Speak(const QString &text) override
    {
        RecordingSpeechEngine::Speak(text);
        m_atSpeak();
    }

private:
    std::function<void()> m_atSpeak;
};

// Stands in for the main window: notes whether the intro was still up when it was shown.
class StandInMainWindow : public Form
{
    Q_OBJECT
public:
    explicit StandInMainWindow(std::function<void()> atShow) : m_atShow(std::move(atShow)) { }

protected:
    void showEvent(QShowEvent *) override { m_atShow(); }

private:
    std::function<void()> m_atShow;
};

// Follows every place the window is moved to.
class TopWatcher : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Move)
            tops.push_back(static_cast<QMoveEvent *>(event)->pos().y());
        return false;
    }
    std::vector<int> tops;
};

class IntroFRMTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Application::installFontSubstitutions();
        registry.registerForm<IntroFRM>([this] {
            auto ds = std::make_unique<WatchingSpeechEngine>(log, [this] {
                IntroFRM &intro = registry.reach<IntroFRM>();
                visibleAtSpeak = intro.isVisible();
                topmostAtSpeak = intro.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            });
            return new IntroFRM(std::move(ds));
        });
        registry.registerForm(FormNames::MainFRM, [this] {
            return new StandInMainWindow([this] {
                ++mainShows;
                introVisibleAtMainShow = registry.reach<IntroFRM>().isVisible();
            });
        });
    }
    void TearDown() override { registry.reset(); }

    FormRegistry &registry = FormRegistry::instance();
    std::shared_ptr<RecordingSpeechEngine::Log> log
        = std::make_shared<RecordingSpeechEngine::Log>();
    bool visibleAtSpeak = false;
    bool topmostAtSpeak = false;
    int mainShows = 0;
    bool introVisibleAtMainShow = true;
};

TEST_F(IntroFRMTest, IsAFramelessSplashWithThePictureAndTheLabelAtItsBottomRight)
{
    IntroFRM intro(std::make_unique<RecordingSpeechEngine>(log));
    EXPECT_TRUE(intro.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(intro.windowType(), Qt::SplashScreen);
    EXPECT_EQ(intro.size(), QSize(406, 331));
    EXPECT_FALSE(intro.windowIcon().isNull());
    EXPECT_FALSE(intro.windowIcon().pixmap(32, 32).isNull());

    auto *data = intro.findChild<QLabel *>("Data");
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data, &intro.Data());
    EXPECT_EQ(data->text(), "Lite Version");
    EXPECT_EQ(data->geometry(), QRect(232, 296, 177, 33));
    EXPECT_EQ(data->font().family(), "MS Sans Serif");
    EXPECT_EQ(data->font().pointSize(), 24);
    EXPECT_FALSE(data->font().bold());
    EXPECT_EQ(QFontInfo(data->font()).family(), "Liberation Sans");
    EXPECT_FALSE(data->autoFillBackground());
    EXPECT_EQ(data->foregroundRole(), QPalette::HighlightedText);

    // The picture from the top-left corner: away from the label, the window shows it as is.
    const QImage picture(":/assets/intro.png");
    ASSERT_EQ(picture.size(), QSize(408, 332));
    const QImage shown = intro.grab().toImage();
    for (const QPoint at : { QPoint(0, 0), QPoint(60, 40), QPoint(200, 120), QPoint(405, 0),
             QPoint(0, 330), QPoint(150, 300) })
        EXPECT_EQ(shown.pixelColor(at), picture.pixelColor(at)) << at.x() << "," << at.y();

    // The greeting's voice is set from the start; nothing is said before the load.
    EXPECT_EQ(log->speeds, std::vector<int> { 150 });
    EXPECT_EQ(log->pitches, std::vector<int> { 85 });
    EXPECT_TRUE(log->spoken.isEmpty());
}

TEST_F(IntroFRMTest, LoadGreetsSlidesOffAndDownHidesThenShowsTheMainWindow)
{
    TopWatcher watcher;
    // Watch the moves from the first one on: installed as soon as the window exists.
    QTimer::singleShot(0, [&] { registry.reach<IntroFRM>().installEventFilter(&watcher); });
    IntroFRM &intro = registry.reach<IntroFRM>();

    EXPECT_EQ(log->spoken, QStringList { "Welcome to Vocalo Lite." });
    EXPECT_TRUE(visibleAtSpeak);
    EXPECT_TRUE(topmostAtSpeak);
    EXPECT_EQ(log->speeds, std::vector<int> { 150 });
    EXPECT_EQ(log->pitches, std::vector<int> { 85 });

    ASSERT_FALSE(watcher.tops.empty());
    const auto highest = std::min_element(watcher.tops.begin(), watcher.tops.end());
    EXPECT_LT(*highest, -406) << "not above minus the window's width";
    EXPECT_TRUE(std::is_sorted(watcher.tops.begin(), highest, std::greater<>()))
        << "not straight up";
    EXPECT_TRUE(std::is_sorted(highest, watcher.tops.end())) << "not straight down";
    EXPECT_GT(watcher.tops.back(), 480);
    EXPECT_GT(intro.twips().top(), 7200.f);

    EXPECT_FALSE(intro.isVisible());
    EXPECT_EQ(mainShows, 1);
    EXPECT_FALSE(introVisibleAtMainShow) << "the main window came before the intro hid";
    EXPECT_TRUE(registry.isLoaded(FormRegistry::nameOf<IntroFRM>()))
        << "the intro stays loaded, hidden";
}

// The window manager's close key during the opening must not take the window from under the
// sequence that runs inside its load handler.
TEST_F(IntroFRMTest, ACloseRequestDuringTheOpeningIsRefused)
{
    bool visibleAfterClose = false;
    QTimer::singleShot(300, [&] {
        IntroFRM &intro = registry.reach<IntroFRM>();
        intro.close();
        visibleAfterClose = intro.isVisible();
    });
    registry.reach<IntroFRM>();

    EXPECT_TRUE(visibleAfterClose);
    EXPECT_TRUE(registry.isLoaded(FormRegistry::nameOf<IntroFRM>()));
    EXPECT_EQ(mainShows, 1);
    EXPECT_FALSE(introVisibleAtMainShow);
}

} // namespace

#include "IntroFRMTest.moc"
