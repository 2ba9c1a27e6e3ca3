// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWindowFixture.h"

#include "TextBox.h"
#include <QAccessible>
#include <QCheckBox>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>

namespace {

struct Placement
{
    const char *name;
    const char *kind;
    int left, top, width, height;
};

const Placement Controls[] = {
    { "Speed", "QScrollBar", 1320, 360, 3135, 255 },
    { "Pitch", "QScrollBar", 1320, 720, 3135, 255 },
    { "DelEnterd", "QCheckBox", 480, 1080, 4575, 255 },
    { "OnTop", "QRadioButton", 840, 1440, 3855, 255 },
    { "NotOnTop", "QRadioButton", 840, 1800, 3855, 255 },
    { "OkayCMD", "QPushButton", 1920, 2160, 1695, 255 },
    { "Data", "TextBox", 120, 0, 5295, 285 },
    { "MenuLBL", "QPushButton", 5400, -120, 135, 495 },
    { "Mover", "QLabel", 0, 0, 5535, 2565 },
    { "InfoL_0", "QLabel", 480, 720, 735, 255 },
    { "InfoL_1", "QLabel", 480, 360, 735, 255 },
    { "SpeedNow", "QLabel", 4560, 360, 495, 255 },
    { "PitchNow", "QLabel", 4560, 720, 495, 255 },
    { "MoverShape", "ShapeControl", 0, 0, 135, 285 },
    { "MNUShape", "ShapeControl", 5400, 0, 135, 285 },
    // Lines: the box from one end to the other, one pixel thick.
    { "Bottom", "LineControl", 0, 2520, 5535, 15 },
    { "Right", "LineControl", 5520, 240, 15, 2295 },
    { "Left", "LineControl", 0, 240, 15, 2295 },
};

struct Caption
{
    const char *name;
    const char *text;
    const char *family; // as the font database resolves it
    double points;
};

const Caption Captions[] = {
    { "DelEnterd", "Delete Text After Enter is Pressed", "OCRA", 9.75 },
    { "OnTop", "Keep Main Form Always On Top", "OCRA", 9.75 },
    { "NotOnTop", "Don't Keep Main Form On Top.", "OCRA", 9.75 },
    { "OkayCMD", "Okay", "OCRA", 9.75 },
    { "Data", "", "OCRA", 9 },
    { "MenuLBL", "", "Liberation Sans", 9.75 },
    { "Mover", "", nullptr, 0 },
    { "InfoL_0", "Pitch:", "OCRA", 9.75 },
    { "InfoL_1", "Speed:", "OCRA", 9.75 },
    { "SpeedNow", "150", "OCRA", 9.75 },
    { "PitchNow", "85", "OCRA", 9.75 },
};

QString captionOf(QWidget *widget)
{
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        return button->text();
    if (auto *edit = qobject_cast<TextBox *>(widget))
        return edit->text();
    return QStringLiteral("<no caption>");
}

QString accessibleName(QWidget *widget)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

} // namespace

TEST_F(MainWindowFixture, EveryControlHasItsKindAndPlace)
{
    for (const Placement &row : Controls) {
        QWidget *widget = control(row.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(widget->inherits(row.kind)) << row.name;
        EXPECT_EQ(
            widget->geometry(), TwipWindow::toPixelRect(row.left, row.top, row.width, row.height))
            << row.name;
    }
}

TEST_F(MainWindowFixture, CaptionsAndFontsAreTheDesignedOnesAndFitTheirControls)
{
    for (const Caption &row : Captions) {
        QWidget *widget = control(row.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(captionOf(widget), QString::fromLatin1(row.text)) << row.name;
        if (!row.family)
            continue;
        const QFont font = widget->font();
        EXPECT_EQ(QFontInfo(font).family(), QString::fromLatin1(row.family)) << row.name;
        EXPECT_FALSE(font.bold() || font.italic() || font.underline() || font.strikeOut())
            << row.name;
        // The Debian face is wider than the one the captions were laid out for: a size may step
        // down, but never up, and the whole caption must show.
        EXPECT_LE(font.pointSizeF(), row.points) << row.name;
        EXPECT_GE(font.pointSizeF(), row.points - 2) << row.name;
        if (!captionOf(widget).isEmpty()) {
            EXPECT_LE(widget->sizeHint().width(), widget->width()) << row.name << " is cut off";
        }
    }
    EXPECT_EQ(control("Data")->font().pointSizeF(), 9);
}

TEST_F(MainWindowFixture, WindowIsAFramelessWhiteStripListedInTheTaskBar)
{
    EXPECT_EQ(main->windowTitle(), "Vocalo 1.0");
    EXPECT_TRUE(main->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(main->windowType(), Qt::Window) << "a tool or splash window leaves the task bar";
    EXPECT_EQ(main->size(), QSize(369, 19));
    EXPECT_EQ(main->twips().height(), 285);
    EXPECT_TRUE(main->autoFillBackground());
    EXPECT_EQ(main->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_FALSE(main->isVisible()) << "loading does not show";
}

TEST_F(MainWindowFixture, PanelColoursComeFromThePalette)
{
    const QColor highlightedText = main->palette().color(QPalette::HighlightedText);
    for (const char *name : { "DelEnterd", "OnTop", "NotOnTop" }) {
        QWidget *widget = control(name);
        EXPECT_TRUE(widget->autoFillBackground()) << name;
        EXPECT_EQ(widget->palette().color(QPalette::Window), highlightedText) << name;
    }
    for (const char *name : { "MenuLBL", "Mover", "InfoL_0", "InfoL_1", "SpeedNow", "PitchNow" })
        EXPECT_FALSE(control(name)->autoFillBackground()) << name << " should be transparent";

    // As drawn: the blank right end of each choice, and the panel around them.
    command("MNUOptions")->trigger();
    const QImage drawn = main->grab().toImage();
    for (const char *name : { "DelEnterd", "OnTop", "NotOnTop" }) {
        const QRect box = control(name)->geometry();
        EXPECT_EQ(drawn.pixelColor(box.right() - 2, box.center().y()), highlightedText) << name;
    }
    EXPECT_EQ(drawn.pixelColor(10, 40), QColor(Qt::white));
}

TEST_F(MainWindowFixture, TextBoxTakesTextOfAnyLength)
{
    const QString longText(200000, QLatin1Char('a'));
    main->Data().setText(longText);
    EXPECT_EQ(main->Data().text().size(), longText.size());
    QTest::keyClick(&main->Data(), Qt::Key_Return);
    EXPECT_EQ(mainLog->spoken.last().size(), longText.size());
}

TEST_F(MainWindowFixture, PressAnywhereOutsideTheWindowedControlsAndTheMenuCornerLandsOnMover)
{
    FormRegistry::instance().reach<MenuForm>();
    command("MNUOptions")->trigger();
    struct Hit
    {
        int x, y; // twips
        const char *expected;
    };
    const Hit hits[] = {
        { 60, 140, "Mover" },     // the drag grip
        { 5467, 140, "MenuLBL" }, // the menu corner
        { 5467, 330, "MenuLBL" }, // the label reaches below the corner box
        { 2000, 140, "Data" },
        { 600, 480, "Mover" },   // over the "Speed:" caption
        { 4800, 840, "Mover" },  // over the pitch number
        { 5520, 1200, "Mover" }, // over the right frame line
        { 300, 2000, "Mover" },  // the panel's empty margin
        { 2000, 480, "Speed" },
        { 2000, 840, "Pitch" },
        { 1000, 1140, "DelEnterd" },
        { 1000, 1500, "OnTop" },
        { 1000, 1860, "NotOnTop" },
        { 2500, 2220, "OkayCMD" },
    };
    for (const Hit &hit : hits) {
        QWidget *child = main->childAt(TwipWindow::toPixels(hit.x), TwipWindow::toPixels(hit.y));
        ASSERT_NE(child, nullptr) << hit.expected;
        // A windowed control may hand the press to a part of its own.
        while (child->parentWidget() != main)
            child = child->parentWidget();
        EXPECT_EQ(child->objectName(), hit.expected) << "at " << hit.x << ", " << hit.y;
    }
}

TEST_F(MainWindowFixture, TabGoesThroughTheControlsInTheirTabIndexOrder)
{
    QStringList order;
    QWidget *widget = &main->Data();
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != &main->Data() && order.size() < 20);
    EXPECT_EQ(order,
        QStringList(
            { "Data", "MenuLBL", "OkayCMD", "NotOnTop", "OnTop", "DelEnterd", "Pitch", "Speed" }));
}

TEST_F(MainWindowFixture, EveryControlHasAnAccessibleName)
{
    const std::pair<const char *, const char *> names[] = {
        { "Data", "Text to speak" },
        { "Speed", "Speed" },
        { "Pitch", "Pitch" },
        { "MenuLBL", "Menu" },
        { "DelEnterd", "Delete Text After Enter is Pressed" },
        { "OnTop", "Keep Main Form Always On Top" },
        { "NotOnTop", "Don't Keep Main Form On Top." },
        { "OkayCMD", "Okay" },
        { "SpeedNow", "150" },
    };
    for (const auto &[name, expected] : names)
        EXPECT_EQ(accessibleName(control(name)), QString::fromLatin1(expected)) << name;
}

TEST_F(MainWindowFixture, LoadCollapsesKeepsAboveAndGreetsOnce)
{
    EXPECT_EQ(mainLog->spoken, QStringList({ "Vocalo 1 Point O By. Quillon!" }));
    EXPECT_EQ(main->focusWidget(), &main->Data());
    EXPECT_TRUE(main->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(main->twips().height(), MainFRM::CollapsedHeight);
}

TEST_F(MainWindowFixture, EnterSpeaksTheTextAndClearsItOnlyWhenAsked)
{
    struct Row
    {
        const char *typed;
        Qt::Key key;
        bool deleteAfterEnter;
        const char *left;
    };
    const Row rows[] = {
        { "hello world", Qt::Key_Return, true, "" },
        { "hello world", Qt::Key_Return, false, "hello world" },
        { "", Qt::Key_Return, true, "" },
        { "", Qt::Key_Return, false, "" },
        { "  Keypad Enter.  ", Qt::Key_Enter, true, "" },
        { "It's 5 o'clock, Bob.", Qt::Key_Return, false, "It's 5 o'clock, Bob." },
    };
    for (const Row &row : rows) {
        mainLog->spoken.clear();
        main->Data().clear();
        control<QCheckBox>("DelEnterd")->setChecked(row.deleteAfterEnter);
        QSignalSpy returnPressed(&main->Data(), &TextBox::returnPressed);
        QTest::keyClicks(&main->Data(), QString::fromUtf8(row.typed));
        EXPECT_TRUE(mainLog->spoken.isEmpty()) << "typing alone speaks nothing";
        QTest::keyClick(&main->Data(), row.key);
        EXPECT_EQ(mainLog->spoken, QStringList({ QString::fromUtf8(row.typed) })) << row.typed;
        EXPECT_EQ(main->Data().text(), QString::fromUtf8(row.left)) << row.typed;
        EXPECT_EQ(returnPressed.count(), 1) << "the text box still sees its Enter key";
    }
}

TEST_F(MainWindowFixture, ScrollBarChangesShowInTheLabelsAndReachBothSpeechControlsNextTick)
{
    struct Row
    {
        const char *bar, *label;
        int value;
    };
    const Row rows[] = { { "Speed", "SpeedNow", 250 }, { "Speed", "SpeedNow", 50 },
        { "Pitch", "PitchNow", 400 }, { "Pitch", "PitchNow", 50 }, { "Pitch", "PitchNow", 123 } };
    for (const Row &row : rows) {
        control<QScrollBar>(row.bar)->setValue(row.value);
        EXPECT_EQ(control<QLabel>(row.label)->text(), QString::number(row.value));
        waitForTick();
        const bool speed = QByteArray(row.bar) == "Speed";
        EXPECT_EQ(speed ? mainLog->speed : mainLog->pitch, row.value);
        EXPECT_EQ(speed ? quickLog->speed : quickLog->pitch, row.value);
    }
}

TEST_F(MainWindowFixture, ArrowKeysOnAFocusedScrollBarMoveItByOne)
{
    auto *speed = control<QScrollBar>("Speed");
    const std::pair<Qt::Key, const char *> steps[] = {
        { Qt::Key_Right, "151" },
        { Qt::Key_Right, "152" },
        { Qt::Key_Left, "151" },
        { Qt::Key_End, "250" },
        { Qt::Key_Right, "250" },
        { Qt::Key_Home, "50" },
        { Qt::Key_Left, "50" },
    };
    for (const auto &[key, shown] : steps) {
        QTest::keyClick(speed, key);
        EXPECT_EQ(control<QLabel>("SpeedNow")->text(), shown) << QTest::toString(key);
    }
}

TEST_F(MainWindowFixture, DraggedBoxShowsItsNumberOnceLetGo)
{
    auto *pitch = control<QScrollBar>("Pitch");
    pitch->setSliderDown(true);
    pitch->setSliderPosition(300);
    EXPECT_EQ(control<QLabel>("PitchNow")->text(), "85");
    pitch->setSliderDown(false);
    EXPECT_EQ(control<QLabel>("PitchNow")->text(), "300");
}

TEST_F(MainWindowFixture, FirstTickLoadsTheQuickWindowHiddenAndAgainAfterItWasClosed)
{
    waitForTick();
    ASSERT_TRUE(FormRegistry::instance().isLoaded(FormNames::QW));
    QW &quick = FormRegistry::instance().reach<QW>();
    EXPECT_FALSE(quick.isVisible());
    EXPECT_EQ(quickLog->speed, 150);
    EXPECT_EQ(quickLog->pitch, 85);

    quick.Show();
    quick.close();
    QTest::qWait(0); // the closed window is deleted from the event loop
    waitForTick();
    ASSERT_TRUE(FormRegistry::instance().isLoaded(FormNames::QW));
    EXPECT_FALSE(FormRegistry::instance().reach<QW>().isVisible());
}

TEST_F(MainWindowFixture, OnTopChoiceMovesTheWindowInAndOutOfTheKeepAboveBand)
{
    main->Show();
    command("MNUOptions")->trigger();
    QTest::mouseClick(control("NotOnTop"), Qt::LeftButton);
    EXPECT_FALSE(main->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(main->isVisible());
    QTest::mouseClick(control("OnTop"), Qt::LeftButton);
    EXPECT_TRUE(main->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(main->isVisible());
}

TEST_F(MainWindowFixture, OptionsDisablesTheTextBoxUntilOkayFoldsThePanelAway)
{
    main->Data().setText("typed before");
    command("MNUOptions")->trigger();
    EXPECT_EQ(main->twips().height(), MainFRM::ExpandedHeight);
    EXPECT_EQ(main->height(), 169);
    EXPECT_FALSE(main->Data().isEnabled());

    mainLog->spoken.clear();
    QTest::keyClicks(&main->Data(), "more");
    QTest::keyClick(&main->Data(), Qt::Key_Return);
    EXPECT_EQ(main->Data().text(), "typed before");
    EXPECT_TRUE(mainLog->spoken.isEmpty());

    QTest::mouseClick(control("OkayCMD"), Qt::LeftButton);
    EXPECT_EQ(main->twips().height(), MainFRM::CollapsedHeight);
    EXPECT_EQ(main->height(), 19);
    EXPECT_TRUE(main->Data().isEnabled());
    EXPECT_EQ(main->focusWidget(), &main->Data()) << "typing goes on in the box";
}

TEST_F(MainWindowFixture, EnterOnTheFocusedOkayButtonFoldsThePanelAway)
{
    command("MNUOptions")->trigger();
    QTest::keyClick(control("OkayCMD"), Qt::Key_Return);
    EXPECT_EQ(main->twips().height(), MainFRM::CollapsedHeight);
    EXPECT_TRUE(main->Data().isEnabled());
}

TEST_F(MainWindowFixture, UpAndDownRecallSpokenLinesAsAShellDoes)
{
    // Each row types, presses one key, and leaves the box showing a text with the cursor at its
    // end.
    struct Row
    {
        const char *typed;
        Qt::Key key;
        const char *shown;
    };
    const Row rows[] = {
        { "", Qt::Key_Up, "" }, // nothing spoken yet
        { "one", Qt::Key_Return, "" }, { "", Qt::Key_Return, "" }, { "   ", Qt::Key_Return, "" },
        { "two", Qt::Key_Return, "" }, { "two", Qt::Key_Return, "" },
        { "draft", Qt::Key_Up, "two" }, // blank lines and the repeated "two" were not kept
        { "", Qt::Key_Up, "one" }, { "", Qt::Key_Up, "one" }, // the oldest stays
        { "", Qt::Key_Down, "two" },
        { "", Qt::Key_Down, "draft" }, // past the newest: what was being typed
        { "", Qt::Key_Down, "draft" }, { "", Qt::Key_Up, "two" },
        { " more", Qt::Key_Return, "" }, // a recalled line is edited and spoken like typed text
        { "", Qt::Key_Up, "two more" }, { "", Qt::Key_Up, "two" }, { "", Qt::Key_Down, "two more" },
        { "", Qt::Key_Down, "" }, // this round's draft was the empty box
    };
    typeIntoTheStrip();
    for (std::size_t row = 0; row < std::size(rows); ++row) {
        QTest::keyClicks(&main->Data(), QString::fromLatin1(rows[row].typed));
        QTest::keyClick(&main->Data(), rows[row].key);
        EXPECT_EQ(main->Data().text().toStdString(), rows[row].shown) << "row " << row;
        EXPECT_EQ(main->Data().cursorPosition(), main->Data().text().size()) << "row " << row;
    }
    EXPECT_EQ(mainLog->spoken.mid(1), QStringList({ "one", "", "   ", "two", "two", "two more" }));

    // A thousand lines are kept, the oldest forgotten first.
    for (int i = 0; i <= 1000; ++i) {
        main->Data().setText(QString::number(i));
        QTest::keyClick(&main->Data(), Qt::Key_Return);
    }
    for (int i = 0; i <= 1000; ++i)
        QTest::keyClick(&main->Data(), Qt::Key_Up);
    EXPECT_EQ(main->Data().text(), "1");

    // Pasted megabytes are forgotten sooner: four million characters in all.
    for (char c : { 'a', 'b', 'c', 'd', 'e' }) {
        main->Data().setText(QString(1024 * 1024, QLatin1Char(c)));
        QTest::keyClick(&main->Data(), Qt::Key_Return);
    }
    for (int i = 0; i < 10; ++i)
        QTest::keyClick(&main->Data(), Qt::Key_Up);
    EXPECT_EQ(main->Data().text(), QString(1024 * 1024, u'b'));
}

TEST_F(MainWindowFixture, EscStopsOnlyTheStripsSpeechAndKeepsTheText)
{
    waitForTick(); // the phrase board and its speech control exist
    typeIntoTheStrip();
    QTest::keyClicks(&main->Data(), "half a line");
    for (int press = 0; press < 2; ++press)
        QTest::keyClick(&main->Data(), Qt::Key_Escape);
    EXPECT_EQ(main->Data().text(), "half a line");
    EXPECT_EQ(mainLog->stops, 2);
    EXPECT_EQ(quickLog->stops, 2);
    EXPECT_EQ(mainLog->spoken.size(), 1) << "only the greeting";
}

TEST_F(MainWindowFixture, TheStripOffersWordsOfLinesSpokenAndSpeaksOnlyWhatWasTyped)
{
    TextBox &data = main->Data();
    QTest::keyClicks(&data, "the doorb");
    QTest::keyClick(&data, Qt::Key_Return);
    EXPECT_EQ(mainLog->spoken.last(), "the doorb");

    QTest::keyClicks(&data, "Off to Quillonville now.");
    QTest::keyClick(&data, Qt::Key_Return);
    QTest::keyClicks(&data, "back in quil");
    EXPECT_EQ(data.suggestion(), "lonville") << "a line spoken is learned";
    QTest::keyClick(&data, Qt::Key_Tab);
    QTest::keyClick(&data, Qt::Key_Return);
    EXPECT_EQ(mainLog->spoken.last(), "back in Quillonville ");
}
