#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>

struct Workbench;
class OperationHost;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// Tools > Status register: a serial flash's status register read from the
// chip, bit by bit with its name, value and meaning, and a new value written
// after a question (protection bits set here block program and erase).
class StatusRegisterDialog : public QDialog {
    Q_OBJECT
public:
    StatusRegisterDialog(Workbench& workbench, OperationHost& host, QWidget* parent = nullptr);

    void ApplyLanguage(int language);
    // Reads the register and shows it; false (the table cleared) when it cannot.
    bool readRegister();
    // Writes the value field after the question; false when refused or failed.
    bool writeRegister();

    QLineEdit* valueField() const { return value_; }
    QTableWidget* bitTable() const { return bits_; }

private:
    void showStatus(std::optional<uint8_t> status);

    Workbench& workbench_;
    OperationHost& host_;
    int language_ = 0;
    std::optional<uint8_t> shown_;
    QLabel* registerLabel_;
    QTableWidget* bits_;
    QLabel* valueLabel_;
    QLineEdit* value_;
    QPushButton* read_;
    QPushButton* write_;
    QPushButton* close_;
};
