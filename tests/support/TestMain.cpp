#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Widget tests need an application object; the offscreen platform lets every
// test run without a display. What Belcor remembers for itself goes to a
// folder of the run's own, never into the user's configuration.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    const QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
