#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>

struct Workbench;
class OperationHost;

namespace Ui {
class TForm4;
}

// The fill dialog: a constant byte, a constant word or random bytes over an
// address range of the FLASH buffer. Created once and reused, so its fields
// and mode keep what the user last set; OK fills and stays open.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    TForm4(Workbench& workbench, OperationHost& host, QWidget* parent = nullptr);
    ~TForm4() override;

    // Captions of the dialog in the given language; other indexes change nothing.
    void ApplyLanguage(int languageIndex);
    // Before each showing: the end field becomes the chip's last address.
    void resetEndAddress(uint32_t flashSize);

private:
    void fill();

    Workbench& workbench_;
    OperationHost& host_;
    std::unique_ptr<Ui::TForm4> ui_;
};
