#include "app/WindowHost.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTime>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <climits>

#include "app/MainWindowDesign.h"
#include "app/PanelStatusBar.h"
#include "buffers/BufferSet.h"
#include "buffers/HexText.h"
#include "chips/ChipCatalogue.h"
#include "chips/ChipRecord.h"
#include "hexview/HexView.h"
#include "core/MessageCatalogue.h"
#include "core/Workbench.h"
#include "ops/ElapsedText.h"

namespace {

QString fromUtf8(const std::string& text)
{
    return QString::fromStdString(text);
}

int progressValue(uint32_t value)
{
    return static_cast<int>(std::min<uint32_t>(value, INT_MAX));
}

void fillList(QComboBox* combo, const ChoiceList& list)
{
    const QSignalBlocker quiet(combo);
    combo->clear();
    for (const std::string& item : list.items)
        combo->addItem(fromUtf8(item));
    combo->setCurrentIndex(list.position >= 0 && list.position < list.count() ? list.position : -1);
}

}  // namespace

WindowHost::WindowHost(QWidget* window, MainWindowDesign& ui, Workbench& workbench)
    : window_(window), ui_(ui), workbench_(workbench), ticker_(new QTimer(window))
{
    sincePump_.start();
    ticker_->setInterval(TickIntervalMs);
    QObject::connect(ticker_, &QTimer::timeout, window, [this] { tick(); });
}

void WindowHost::tick()
{
    // The work has ended with the bars still up (a failed verify, a firmware
    // upgrade): they keep their place, but tell no more time.
    if (!workbench_.busy) {
        stopTicking();
        return;
    }
    const int64_t now = nowMs();
    // A chip operation under way has started after the last one ended; other
    // work with progress bars (a firmware upgrade) leaves the panel alone.
    if (workbench_.startMs > workbench_.endMs)
        showElapsed(ElapsedText(now - workbench_.startMs));
    if (allowanceTickMs_ > 0) {
        const uint32_t ticksLeft = progressMaximum_ - std::min(pendingProgress_, progressMaximum_);
        showTimeLeft(QString::fromStdString(MessageCatalogue::format(
            Msg::EraseAllowanceLeft, workbench_.languageIndex,
            {ElapsedText(int64_t{ticksLeft} * allowanceTickMs_)})));
        return;
    }
    const int64_t running = now - progressShownMs_;
    if (running < RateAfterMs || pendingProgress_ == 0 || pendingProgress_ >= progressMaximum_)
        return;
    const double msPerUnit = double(running) / pendingProgress_;
    const auto left = static_cast<int64_t>(msPerUnit * (progressMaximum_ - pendingProgress_));
    showTimeLeft(QString::fromStdString(
        MessageCatalogue::format(Msg::TimeLeft, workbench_.languageIndex, {ElapsedText(left + 999)})));
}

void WindowHost::showTimeLeft(const QString& text)
{
    for (QProgressBar* bar : {ui_.Progress, ui_.Progress2}) {
        bar->setFormat(text);
        bar->setTextVisible(bar == ui_.Progress);
    }
}

void WindowHost::setStateText(const std::string& text)
{
    ui_.StatusBar1->setPanelText(1, fromUtf8(text));
}

void WindowHost::stopTicking()
{
    ticker_->stop();
    showPendingProgress();
    for (QProgressBar* bar : {ui_.Progress, ui_.Progress2})
        bar->setTextVisible(false);
}

void WindowHost::showElapsed(const std::string& text)
{
    ui_.StatusBar1->setPanelText(3, fromUtf8(text));
}

// The operation's own time, at its end: the panel keeps it until the next
// operation, and the bars stay as the operation left them.
void WindowHost::setElapsedText(const std::string& text)
{
    stopTicking();
    showElapsed(text);
}

void WindowHost::showAllowance(uint32_t ticks, uint32_t tickMs)
{
    showProgress(ticks);
    allowanceTickMs_ = tickMs;
}

void WindowHost::showProgress(uint32_t maximum)
{
    pendingProgress_ = 0;
    allowanceTickMs_ = 0;
    progressMaximum_ = maximum;
    progressShownMs_ = nowMs();
    ticker_->start();
    for (QProgressBar* bar : {ui_.Progress, ui_.Progress2}) {
        bar->setRange(0, progressValue(maximum));
        bar->setValue(0);
        // The last step's time left means nothing for this one.
        bar->setTextVisible(false);
        bar->setVisible(true);
    }
}

void WindowHost::setProgress(uint32_t position)
{
    // Shown when the window next handles events or opens a box: a bar's
    // setValue costs far more than moving a block, and the values in between
    // would never be seen.
    pendingProgress_ = position;
}

void WindowHost::showPendingProgress()
{
    for (QProgressBar* bar : {ui_.Progress, ui_.Progress2})
        bar->setValue(std::min(progressValue(pendingProgress_), bar->maximum()));
}

void WindowHost::hideProgress()
{
    pendingProgress_ = 0;
    stopTicking();
    for (QProgressBar* bar : {ui_.Progress, ui_.Progress2}) {
        bar->setValue(0);
        bar->setVisible(false);
    }
}

void WindowHost::pumpEvents()
{
    if (sincePump_.elapsed() < PumpIntervalMs)
        return;
    showPendingProgress();
    QCoreApplication::processEvents();
    sincePump_.restart();
}

void WindowHost::errorBox(const std::string& text)
{
    showPendingProgress();
    QMessageBox box(QMessageBox::Critical, "Error", fromUtf8(text), QMessageBox::Ok, window_);
    box.exec();
}

void WindowHost::informationBox(const std::string& text)
{
    showPendingProgress();
    QMessageBox box(QMessageBox::Information, "Information", fromUtf8(text), QMessageBox::Ok, window_);
    box.exec();
}

void WindowHost::messageBox(const std::string& text)
{
    showPendingProgress();
    QMessageBox box(QMessageBox::NoIcon, QString(), fromUtf8(text), QMessageBox::Ok, window_);
    box.exec();
}

bool WindowHost::question(const std::string& text)
{
    showPendingProgress();
    QMessageBox box(QMessageBox::Question, "Info", fromUtf8(text), QMessageBox::Yes | QMessageBox::No, window_);
    return box.exec() == QMessageBox::Yes;
}

void WindowHost::insertLogLine(const std::string& line)
{
    QTextCursor cursor(ui_.RichEdit1->document());
    cursor.movePosition(QTextCursor::Start);
    if (!ui_.RichEdit1->document()->isEmpty()) {
        cursor.insertBlock();
        cursor.movePosition(QTextCursor::Start);
    }
    cursor.insertText(fromUtf8(line));
    ui_.RichEdit1->moveCursor(QTextCursor::Start);
}

std::string WindowHost::firstLogLine() const
{
    return ui_.RichEdit1->document()->firstBlock().text().toStdString();
}

void WindowHost::beep()
{
    QApplication::beep();
}

void WindowHost::sleepMs(uint32_t milliseconds)
{
    // A real wait that keeps the window painting and answering.
    showPendingProgress();
    QEventLoop loop;
    QTimer::singleShot(std::chrono::milliseconds(milliseconds), &loop, &QEventLoop::quit);
    loop.exec();
    sincePump_.restart();
}

std::string WindowHost::longTimeText() const
{
    // The locale's long time format, without the time zone Qt adds to it.
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove('t');
    return QTime::currentTime().toString(format.trimmed()).toStdString();
}

int64_t WindowHost::nowMs() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void WindowHost::showChipLists()
{
    const ChipCatalogue& catalogue = workbench_.catalogue;
    fillList(ui_.ComboBox1, catalogue.typeList);
    fillList(ui_.ComboBox2, catalogue.manufacturerList);
    fillList(ui_.ComboBox3, catalogue.nameList);
}

void WindowHost::chipSelectionChanged()
{
    showChipLists();
    const ChipCatalogue& catalogue = workbench_.catalogue;

    ui_.Edit1->setText(fromUtf8(catalogue.sizeText()));
    ui_.Edit2->setText(fromUtf8(catalogue.pageSizeText()));
    ui_.Edit5->setText(fromUtf8(catalogue.dataSizeText()));
    ui_.PageControl1->setTabVisible(ui_.PageControl1->indexOf(ui_.TabSheet2), catalogue.eepromTabVisible());
    ui_.PageControl1->setTabVisible(ui_.PageControl1->indexOf(ui_.TabSheet3), catalogue.configTabVisible());
    ui_.PageControl1->setTabText(ui_.PageControl1->indexOf(ui_.TabSheet1), fromUtf8(catalogue.firstTabCaption()));
    ui_.Label9->setVisible(catalogue.lowVoltageNoticeVisible());

    const ChipRecord& chip = catalogue.currentRecord();
    flashBufferChanged(chip.flashSize);
    eepromBufferChanged(chip.eepromSize);
    // The range end was reset with the buffers; the field only shows it.
    const QSignalBlocker quiet(ui_.Edit4);
    ui_.Edit4->setText(fromUtf8(HexFieldText(chip.flashSize - 1)));
}

void WindowHost::flashBufferChanged(uint32_t count)
{
    // A database record may claim more than the buffer holds.
    const uint32_t shown = std::min(count, BufferSet::FlashCapacity);
    ui_.FlashEditor->load(workbench_.buffers.flash(shown), shown);
}

void WindowHost::eepromBufferChanged(uint32_t count)
{
    ui_.EepromEditor->load(workbench_.buffers.eeprom(), std::min(count, BufferSet::EepromCapacity));
}

void WindowHost::showSocketPicture(SocketPicture picture)
{
    ui_.Image1->setPixmap(QPixmap(picture == SocketPicture::ChipSeated ? ":/images/J1.jpg" : ":/images/J0.jpg"));
}

bool WindowHost::flashViewModified() const
{
    return ui_.FlashEditor->isModified();
}

uint32_t WindowHost::flashViewByteCount() const
{
    return ui_.FlashEditor->byteCount();
}

void WindowHost::copyFlashViewOut(uint8_t* destination, uint32_t count) const
{
    ui_.FlashEditor->copyOut(destination, 0, std::min(count, ui_.FlashEditor->byteCount()));
}

void WindowHost::clearFlashViewModified()
{
    ui_.FlashEditor->clearModified();
}
