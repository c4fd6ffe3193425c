#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

// One process-wide QApplication; widgets run offscreen unless the caller chose a platform.
int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
