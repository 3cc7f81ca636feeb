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
#include <vector>

#include "app/PanelStatusBar.h"
#include "app/TForm1.h"
#include "maint/SimulatorLibrary.h"
#include "support/NextDialog.h"
#include "support/SimulatorFixture.h"

// The main window over the shipped database, built by each test the way it
// needs: `open` puts it in simulation mode with its first record (A25L010, a
// 128 KiB serial flash) selected and a blank one seated; `openWindow` shows it
// as settings and `simulator`, if loaded, leave it. Its settings file and what
// Belcor remembers for itself go below the test's folder.
class BenchWindow : public SimulatorFixture {
protected:
    static constexpr uint32_t ChipSize = 0x20000;

    void SetUp() override
    {
        SimulatorFixture::SetUp();
        settingsPath = dir.filePath("belcor.ini").toStdString();
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toLocal8Bit());
    }
    void TearDown() override
    {
        window.reset();
        SimulatorFixture::TearDown();
    }

    static std::string shippedDatabase()
    {
        return (QCoreApplication::applicationDirPath() + "/belcor.Dat").toStdString();
    }

    // The simulator library, playing `scenario` when one is given (its
    // transcript off, as long runs would fill it).
    void loadSimulator(const std::string& scenario = "")
    {
        std::string error;
        simulator = SimulatorLibrary::open(simulatorPath(), error);
        ASSERT_TRUE(simulator) << error;
        if (scenario.empty())
            return;
        const std::string scenarioPath = dir.filePath("bench.scenario").toStdString();
        std::ofstream(scenarioPath) << scenario;
        ASSERT_TRUE(simulator->loadScenario(scenarioPath, error)) << error;
        simulator->setTranscriptEnabled(false);
    }

    TForm1& openWindow(const std::string& database = shippedDatabase())
    {
        window = std::make_unique<TForm1>(settingsPath, database, simulator.get());
        window->show();
        settle();
        return *window;
    }

    TForm1& open(int language = 2, const std::string& scenario = "chip class=0 id=0x373011 size=131072 page=256\n"
                                                                  "transfer_rate 0\n")
    {
        if (!QFile::exists(QString::fromStdString(settingsPath)))
            std::ofstream(settingsPath) << "[DEVICE]\nLANGU=" << language << "\n";
        loadSimulator(scenario);
        openWindow();
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

    // What the seated chip holds now.
    static std::vector<uint8_t> chipContents()
    {
        std::vector<uint8_t> contents(ChipSize);
        belcor_sim_chip_read(0, contents.data(), ChipSize);
        return contents;
    }

    QString firstLogLine() const { return window->ui.RichEdit1->document()->firstBlock().text(); }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    std::string settingsPath;
    std::unique_ptr<SimulatorLibrary> simulator;
    std::unique_ptr<TForm1> window;
};
