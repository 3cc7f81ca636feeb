#include "support/ScreenOfSize.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

bool OnScreenOfSize(QSize size)
{
    if (QGuiApplication::primaryScreen()->size() == size)
        return true;
    const QTemporaryDir folder;
    const QString config = folder.filePath("screen.json");
    const QJsonObject screen{{"name", "Station"}, {"x", 0},           {"y", 0},
                             {"width", size.width()}, {"height", size.height()}, {"logicalDpi", 96},
                             {"logicalBaseDpi", 96},  {"dpr", 1}};
    const QJsonDocument screens(QJsonObject{{"screens", QJsonArray{screen}}});
    std::ofstream(config.toStdString()) << screens.toJson().toStdString();
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + config);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QString("--gtest_filter=%1.%2").arg(test->test_suite_name(), test->name())});
    const bool finished = child.waitForFinished(-1);
    EXPECT_TRUE(finished && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0)
        << "on a screen of " << size.width() << "x" << size.height();
    return false;
}
