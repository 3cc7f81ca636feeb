#pragma once

#include <functional>
#include <memory>

#include <QDialog>
#include <QString>

class OperationHost;
struct HardwareInfo;
struct Workbench;

namespace Ui {
class TForm6;
}

// The hardware information dialog: shows the programmer's hardware version,
// firmware version and serial number, and lets the user pick a firmware file
// to upgrade the programmer with. Created once and reused.
class TForm6 : public QDialog {
    Q_OBJECT

public:
    // Asks the user for a firmware file; an empty path means cancelled.
    using FileChooser = std::function<QString(QWidget* parent)>;

    TForm6(Workbench& bench, OperationHost& host, QWidget* parent = nullptr);
    ~TForm6() override;

    // The whole hardware command: ask the programmer for its versions (the
    // fields keep their texts when it is not there), show the dialog, and
    // when a firmware file was picked and exists, upgrade the programmer.
    void runHardwareCommand();

    // Captions in language 0 (Simplified Chinese), 1 (Traditional) or 2
    // (English); any other index changes nothing.
    void ApplyLanguage(int language);

    void showHardwareInfo(const HardwareInfo& info);

    // Set by the Upgrade firmware button, cleared by Close and at the start of
    // every use.
    const QString& firmwarePath() const { return firmwarePath_; }

    // Tests replace the file dialog.
    void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }

private:
    void chooseFirmwareFile();
    void closeWithoutUpgrade();

    std::unique_ptr<Ui::TForm6> ui_;
    Workbench& bench_;
    OperationHost& host_;
    QString firmwarePath_;
    FileChooser chooseFile_;
};
