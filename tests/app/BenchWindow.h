#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <fstream>
#include <functional>
#include <memory>

#include "app/PanelStatusBar.h"
#include "app/TForm1.h"
#include "maint/SimulatorLibrary.h"
#include "support/SimulatorFixture.h"

// Runs `step` on the next dialog of type T that opens modally, then closes it
// if the step left it open.
template <typename T>
void inNextDialog(const std::function<void(T&)>& step)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, step] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            // A nested event loop would keep a merely deleted-later timer firing.
            timer->stop();
            timer->deleteLater();
            step(*dialog);
            if (dialog->isVisible())
                dialog->reject();
        }
    });
    timer->start();
}

// The main window in simulation mode over the shipped database, its first
// record (A25L010, a 128 KiB serial flash) selected and a blank one seated;
// what Belcor remembers for itself goes below the test's folder.
class BenchWindow : public SimulatorFixture {
protected:
    static constexpr uint32_t ChipSize = 0x20000;

    void SetUp() override { SimulatorFixture::SetUp(); }
    void TearDown() override
    {
        window.reset();
        SimulatorFixture::TearDown();
    }

    TForm1& open(int language = 2, const std::string& scenario = "chip class=0 id=0x373011 size=131072 page=256\n"
                                                                  "transfer_rate 0\n")
    {
        const std::string scenarioPath = dir.filePath("bench.scenario").toStdString();
        std::ofstream(scenarioPath) << scenario;
        settingsPath = dir.filePath("belcor.ini").toStdString();
        // Belcor's own remembered files, apart from every other test's.
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toLocal8Bit());
        if (!QFile::exists(QString::fromStdString(settingsPath)))
            std::ofstream(settingsPath) << "[DEVICE]\nLANGU=" << language << "\n";
        std::string error;
        simulator = SimulatorLibrary::open(simulatorPath(), error);
        EXPECT_TRUE(simulator) << error;
        EXPECT_TRUE(simulator->loadScenario(scenarioPath, error)) << error;
        simulator->setTranscriptEnabled(false);
        window = std::make_unique<TForm1>(settingsPath,
                                          (QCoreApplication::applicationDirPath() + "/belcor.Dat").toStdString(),
                                          simulator.get());
        window->show();
        waitUntil([this] { return window->ui.StatusBar1->panelText(1) != ""; });
        settle();
        return *window;
    }

    static void settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

    static void waitUntil(const std::function<bool()>& done, int limitMs = 5000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < limitMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        EXPECT_TRUE(done()) << "still waiting after " << limitMs << " ms";
    }

    // Real key presses, as a user types them into the focused control.
    static void typeKeys(QWidget* target, const QString& text)
    {
        for (const QChar character : text) {
            const int key = character.toUpper().unicode();
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(character));
            QApplication::sendEvent(target, &press);
            QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(character));
            QApplication::sendEvent(target, &release);
        }
    }
    static void pressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(target, &press);
    }

    // Picks `path` in the next file dialog that opens.
    static void chooseFileInNextDialog(const QString& path)
    {
        auto* timer = new QTimer;
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, [timer, path] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                dialog->selectFile(path);
                QMetaObject::invokeMethod(dialog, "accept");
                timer->deleteLater();
            }
        });
        timer->start();
    }

    QString firstLogLine() const { return window->ui.RichEdit1->document()->firstBlock().text(); }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    std::string settingsPath;
    std::unique_ptr<SimulatorLibrary> simulator;
    std::unique_ptr<TForm1> window;
};
