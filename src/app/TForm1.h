#pragma once

#include <QMainWindow>
#include <memory>
#include <string>

#include "app/MainWindowDesign.h"
#include "app/StandardTextTranslator.h"
#include "app/WindowHost.h"
#include "ops/ChipOperations.h"
#include "ops/OwnedWorkbench.h"

class BenchMenu;
class DeviceWatcher;
class FileCommands;
class QDialog;
class QLineEdit;
class ProductionMenu;
class Settings;
class SimulatorLibrary;
class SimulatorMenu;
class TAboutBox;
class TForm2;
class TForm3;
class TForm4;
class TForm6;
class UpdateActions;

// The main window: tool bar, menus, chip group, hex views, options, log pane
// and status bar. It owns the Workbench and the dialogs; its handlers read the
// controls, call the core and refresh. In simulation mode the simulator's
// hot-plug events stand in for the system's device notifications.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    TForm1(const std::string& settingsPath, const std::string& databasePath, SimulatorLibrary* simulator = nullptr,
           QWidget* parent = nullptr);
    ~TForm1() override;

    Workbench& workbench() { return workbench_; }
    OperationHost& host() { return host_; }
    MainWindowDesign ui;

    void ApplyLanguage();
    void ChinaClick();
    void fantiClick();
    void EnlishClick();

    // The owner-drawn state panel: red while it reads "Not connected" in the
    // current language, the button-text colour otherwise.
    void StatusBar1DrawPanel(QPainter& painter, int panel, const QRect& rect);
    QColor statePanelColour() const;

    void FormResize();
    // A connection check, unless an operation holds the link.
    void FormActivate();
    // Queued from the simulator's hot-plug callback and the udev monitor.
    Q_INVOKABLE void DeviceChanged();

    void ToolOpenClick();
    void ToolSaveClick();
    void ToolFillClick();
    void ToolBankClick();
    void ToolAutoClick();
    void ToolEraseClick();
    void ToolWriteClick();
    void ToolReadClick();
    void ToolVerifyClick();
    void ToolBulkClick(bool down);
    void ToolDeviceClick();
    void ToolAboutClick();
    void N4Click();
    void BitBtn1Click();
    void BitBtn2Click();
    void ComboBox1Change(int position);
    void ComboBox2Change(int position);
    void ComboBox3Change(int position);
    void Edit3Change(const QString& text);
    void Edit4Change(const QString& text);
    void CheckBox5Click(bool checked);

    TAboutBox* AboutBox() const { return aboutBox_; }
    TForm2* Form2() const { return form2_; }
    TForm3* Form3() const { return form3_; }
    TForm4* Form4() const { return form4_; }
    TForm6* Form6() const { return form6_; }
    BenchMenu* Bench() const { return benchMenu_; }
    FileCommands* Files() const { return fileCommands_; }
    ProductionMenu* Production() const { return productionMenu_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    // Writes the settings back; false when one could not be written.
    bool FormClose();
    void connectHandlers();
    void setLanguage(int languageIndex);
    // Sets the captions of the main window and the About box, nothing else.
    void setCaptions(int language);
    // Shows one of our dialogs; closing it counts as an activation of the window.
    void runDialog(QDialog& dialog);
    void rangeFieldChanged(QLineEdit* field, const QString& text, int32_t& stored);
    using ListChange = int32_t (*)(Workbench&, OperationHost&, int32_t);
    void listPicked(ListChange change, int position);
    void runOperation(Operation operation);
    AutoOptions autoOptions() const;
    // Batch mode switches the tool bar and the two columns off, all but its own button.
    void setBatchControlsEnabled(bool enabled);
    // A connection check or a close asked for while a command ran happens
    // once the command is over.
    void finishCommand();
    // The Production menu opened or closed a job.
    void jobChanged();

    OwnedWorkbench workbench_;
    WindowHost host_;
    StandardTextTranslator standardTexts_;
    std::string settingsPath_;
    std::string databasePath_;
    std::unique_ptr<Settings> settings_;
    SimulatorLibrary* simulator_;
    SimulatorMenu* simulatorMenu_ = nullptr;
    UpdateActions* updateActions_ = nullptr;
    ProductionMenu* productionMenu_ = nullptr;
    DeviceWatcher* deviceWatcher_ = nullptr;
    TAboutBox* aboutBox_ = nullptr;
    TForm2* form2_ = nullptr;
    TForm3* form3_ = nullptr;
    TForm4* form4_ = nullptr;
    TForm6* form6_ = nullptr;
    BenchMenu* benchMenu_ = nullptr;
    FileCommands* fileCommands_ = nullptr;
    bool batchRunning_ = false;
    bool shown_ = false;
    bool closePending_ = false;
    bool checkPending_ = false;
};
