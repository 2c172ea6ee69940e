#include <QApplication>
#include <gtest/gtest.h>

// Widgets on the offscreen platform; the test discovery at build time runs without the test
// environment, so the platform is chosen here too.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
