#include "buffers/ui/ChecksumDialog.h"

#include <QEventLoop>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>
#include <vector>

#include "buffers/BufferSet.h"
#include "buffers/Checksums.h"
#include "buffers/FlashViewEdits.h"
#include "buffers/HexText.h"
#include "buffers/ui/BenchText.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"
#include "hexview/HexView.h"

namespace {

constexpr const char* ResultNames[] = {"CRC-16/CCITT", "CRC-32", "Sum-8", "Sum-16", "Sum-32", "SHA-256"};
constexpr Msg SpanNames[] = {Msg::OverBuffer, Msg::OverDataLength, Msg::OverRange, Msg::OverSelection};
constexpr int ProgressSteps = 1000;
constexpr int ProgressTickMs = 50;

}  // namespace

ChecksumDialog::ChecksumDialog(HexView& view, Workbench& workbench, OperationHost& host, QWidget* parent)
    : QDialog(parent), view_(view), workbench_(workbench), host_(host)
{
    setObjectName("ChecksumDialog");
    auto* spanRow = new QHBoxLayout;
    for (QRadioButton*& button : spans_) {
        button = new QRadioButton(this);
        spanRow->addWidget(button);
        connect(button, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                showExtent();
        });
    }
    spanRow->addStretch(1);
    extentLabel_ = new QLabel(this);

    auto* form = new QFormLayout;
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (int i = 0; i < ResultCount; ++i) {
        results_[size_t(i)] = new QLineEdit(this);
        results_[size_t(i)]->setReadOnly(true);
        results_[size_t(i)]->setFont(fixed);
        form->addRow(ResultNames[i], results_[size_t(i)]);
    }
    results_[Sha256]->setMinimumWidth(QFontMetrics(fixed).horizontalAdvance(QString(66, '0')));

    calculate_ = new QPushButton(this);
    calculate_->setDefault(true);
    close_ = new QPushButton(this);
    connect(calculate_, &QPushButton::clicked, this, &ChecksumDialog::calculate);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(calculate_);
    buttons->addWidget(close_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(spanRow);
    layout->addWidget(extentLabel_);
    layout->addLayout(form);
    layout->addLayout(buttons);
    spans_[0]->setChecked(true);
    ApplyLanguage(0);
}

void ChecksumDialog::ApplyLanguage(int language)
{
    language_ = language;
    setWindowTitle(benchText(Msg::ChecksumsTitle, language));
    for (size_t i = 0; i < spans_.size(); ++i)
        spans_[i]->setText(benchText(SpanNames[i], language));
    calculate_->setText(benchText(Msg::CalculateButton, language));
    close_->setText(benchText(Msg::CloseButton, language));
    showExtent();
}

void ChecksumDialog::setSpan(Span span)
{
    spans_[static_cast<size_t>(span)]->setChecked(true);
    showExtent();
}

ChecksumDialog::Extent ChecksumDialog::extent() const
{
    const BufferSet& buffers = workbench_.buffers;
    const size_t viewSize = std::min<size_t>(view_.byteCount(), BufferSet::FlashCapacity);
    if (spans_[1]->isChecked())
        return {0, std::min<size_t>(size_t(std::max(buffers.dataLength, 0)), BufferSet::FlashCapacity)};
    if (spans_[2]->isChecked()) {
        const size_t start = size_t(std::max(buffers.range.start, 0));
        const size_t end = size_t(std::max<int64_t>(int64_t(buffers.range.end) + 1, 0));
        const size_t clippedEnd = std::min<size_t>(end, BufferSet::FlashCapacity);
        return {std::min(start, clippedEnd), clippedEnd};
    }
    if (spans_[3]->isChecked()) {
        const size_t end = std::min<size_t>(view_.selectionEnd(), viewSize);
        return {std::min<size_t>(view_.selectionStart(), end), end};
    }
    return {0, viewSize};
}

void ChecksumDialog::showExtent()
{
    const Extent span = extent();
    const std::string last = HexFieldText(uint32_t(span.end > span.start ? span.end - 1 : span.start));
    extentLabel_->setText(benchText(Msg::ChecksumSpan, language_,
                                    {std::to_string(span.end - span.start), HexFieldText(uint32_t(span.start)), last}));
    for (QLineEdit* result : results_)
        result->clear();
}

QString ChecksumDialog::spanText() const
{
    return extentLabel_->text();
}

QString ChecksumDialog::resultText(Result result) const
{
    return results_[size_t(result)]->text();
}

bool ChecksumDialog::calculate()
{
    if (workbench_.busy) {
        host_.beep();
        return false;
    }
    TakeOverFlashViewEdits(workbench_, host_);
    showExtent();
    const Extent span = extent();
    // The worker sums a copy, so that an edit typed meanwhile cannot tear the
    // bytes under it; the window keeps its own event loop running.
    const std::vector<uint8_t> bytes(workbench_.buffers.flash() + span.start, workbench_.buffers.flash() + span.end);
    std::atomic<size_t> done{0};
    std::atomic<bool> cancelled{false};
    std::optional<ChecksumSet> sums;
    QEventLoop waiting;
    std::thread worker([&] {
        sums = ChecksumsOf(bytes.data(), bytes.size(), [&](size_t bytesDone) {
            done = bytesDone;
            return !cancelled;
        });
        QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
    });
    QProgressDialog progress(benchText(Msg::CalculatingProgress, language_), benchText(Msg::CancelButton, language_),
                             0, ProgressSteps, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(200);
    progress.setValue(0);
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, &progress, [&] {
        if (progress.wasCanceled())
            cancelled = true;
        else
            progress.setValue(int(uint64_t(done) * ProgressSteps / std::max<size_t>(bytes.size(), 1)));
    });
    ticker.start(ProgressTickMs);
    waiting.exec();
    worker.join();
    progress.reset();
    if (!sums || cancelled)
        return false;
    const std::string texts[] = {sums->crc16Text(), sums->crc32Text(), sums->sum8Text(),
                                 sums->sum16Text(), sums->sum32Text(), sums->sha256Text()};
    for (int i = 0; i < ResultCount; ++i)
        results_[size_t(i)]->setText(QString::fromStdString(texts[i]));
    return true;
}
