// SPDX-License-Identifier: GPL-3.0-or-later
// GoogleTest entry point for Qt tests: the application object must exist before any widget.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
