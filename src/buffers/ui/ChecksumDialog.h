#pragma once

#include <QDialog>
#include <array>
#include <cstddef>

struct Workbench;
class HexView;
class OperationHost;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Checksums of the FLASH buffer (as the view shows it) over the whole buffer,
// the data length, the address range or the view's selection. Long runs show
// a progress dialog once they take more than 200 ms and can be cancelled;
// the sums are made on a worker thread while the window keeps repainting.
class ChecksumDialog : public QDialog {
    Q_OBJECT
public:
    enum class Span { Buffer, DataLength, Range, Selection };
    enum Result { Crc16, Crc32, Sum8, Sum16, Sum32, Sha256, ResultCount };

    ChecksumDialog(HexView& view, Workbench& workbench, OperationHost& host, QWidget* parent = nullptr);

    void ApplyLanguage(int language);
    void setSpan(Span span);
    // False when cancelled or refused; the results are then cleared.
    bool calculate();
    QString resultText(Result result) const;
    QString spanText() const;

private:
    struct Extent {
        size_t start = 0;
        size_t end = 0;
    };
    Extent extent() const;
    void showExtent();

    HexView& view_;
    Workbench& workbench_;
    OperationHost& host_;
    int language_ = 0;
    std::array<QRadioButton*, 4> spans_{};
    QLabel* extentLabel_;
    std::array<QLineEdit*, ResultCount> results_{};
    QPushButton* calculate_;
    QPushButton* close_;
};
