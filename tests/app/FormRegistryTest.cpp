// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormRegistry.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

// A window that counts its loads and, when asked, reaches another window while loading.
class CountingForm : public Form
{
    Q_OBJECT
public:
    explicit CountingForm(int &loads, QString reachDuringLoad = {})
        : m_loads(loads), m_reachDuringLoad(std::move(reachDuringLoad))
    { }
    void load() override
    {
        ++m_loads;
        visibleDuringLoad = isVisible();
        if (!m_reachDuringLoad.isEmpty())
            reachedDuringLoad = &FormRegistry::instance().reach(m_reachDuringLoad);
    }
    bool visibleDuringLoad = true;
    Form *reachedDuringLoad = nullptr;

private:
    int &m_loads;
    QString m_reachDuringLoad;
};

class FormRegistryTest : public ::testing::Test
{
protected:
    void TearDown() override { registry.reset(); }
    FormRegistry &registry = FormRegistry::instance();
    int loads = 0;
};

TEST_F(FormRegistryTest, FirstReachLoadsWithoutShowingLaterReachesFindTheSameWindow)
{
    registry.registerForm("Board", [&] { return new CountingForm(loads); });
    EXPECT_FALSE(registry.isLoaded("Board"));
    Form &first = registry.reach("Board");
    EXPECT_EQ(loads, 1);
    EXPECT_FALSE(first.isVisible());
    EXPECT_EQ(first.objectName(), "Board");

    first.Show();
    EXPECT_EQ(&registry.reach("Board"), &first);
    first.Hide();
    EXPECT_EQ(&registry.reach("Board"), &first);
    EXPECT_EQ(loads, 1);
}

TEST_F(FormRegistryTest, AWindowClosedByTheUserIsLoadedAnewOnTheNextReach)
{
    registry.registerForm("Board", [&] { return new CountingForm(loads); });
    Form &first = registry.reach("Board");
    first.Show();
    first.close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(registry.isLoaded("Board"));

    Form &second = registry.reach("Board");
    EXPECT_EQ(loads, 2);
    EXPECT_FALSE(second.isVisible());
}

TEST_F(FormRegistryTest, AWindowReachedFromItsOwnLoadIsTheOneLoading)
{
    int otherLoads = 0;
    registry.registerForm("Self", [&] { return new CountingForm(loads, "Self"); });
    registry.registerForm("Other", [&] { return new CountingForm(otherLoads); });
    auto &self = static_cast<CountingForm &>(registry.reach("Self"));
    EXPECT_EQ(self.reachedDuringLoad, &self);
    EXPECT_EQ(loads, 1);
    EXPECT_FALSE(self.visibleDuringLoad);
}

TEST_F(FormRegistryTest, AWindowRegisteredByItsClassIsReachedByTheClassOrItsName)
{
    registry.registerForm<CountingForm>([&] { return new CountingForm(loads); });
    CountingForm &form = registry.reach<CountingForm>();
    EXPECT_EQ(&form, &registry.reach("CountingForm"));
    EXPECT_EQ(form.objectName(), "CountingForm");
    EXPECT_EQ(loads, 1);
}

TEST_F(FormRegistryTest, AStandInUnderAClassNameIsNotReachedAsThatClass)
{
    registry.registerForm("CountingForm", [] { return new Form; });
    EXPECT_THROW(registry.reach<CountingForm>(), std::logic_error);
}

TEST_F(FormRegistryTest, AnUnknownNameIsAnError)
{
    EXPECT_THROW(registry.reach("Nowhere"), std::logic_error);
}

} // namespace

#include "FormRegistryTest.moc"
