#include "production/ui/ProgrammerTile.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/MessageCatalogue.h"

namespace {

// A style sheet set anew restyles the widget and its children; the tiles are
// refreshed several times a second, so only a change is set.
void restyle(QWidget* widget, const QString& sheet)
{
    if (widget->styleSheet() != sheet)
        widget->setStyleSheet(sheet);
}

QString qText(const std::string& text)
{
    return QString::fromStdString(text);
}

const char* const Green = "#1a9a1a";
const char* const Red = "#c00000";

}  // namespace

ProgrammerTile::ProgrammerTile(const std::string& programmer, QWidget* parent)
    : QFrame(parent), programmer_(programmer)
{
    setObjectName("ProgrammerTile");
    setMinimumWidth(170);

    name_ = new QLabel(qText(programmer), this);
    QFont bold = name_->font();
    bold.setBold(true);
    name_->setFont(bold);
    state_ = new QLabel(this);
    state_->setObjectName("TileState");
    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    progress_->setMaximumHeight(10);
    result_ = new QLabel(this);
    result_->setObjectName("TileResult");
    result_->setAlignment(Qt::AlignCenter);
    result_->setMinimumHeight(36);
    QFont big = result_->font();
    big.setPointSize(big.pointSize() + 8);
    big.setBold(true);
    result_->setFont(big);
    message_ = new QLabel(this);
    message_->setObjectName("TileMessage");
    message_->setWordWrap(true);
    message_->setStyleSheet(QString("color: ") + Red);
    counts_ = new QLabel(this);
    counts_->setObjectName("TileCounts");

    start_ = new QPushButton(this);
    start_->setObjectName("TileStart");
    stop_ = new QPushButton(this);
    stop_->setObjectName("TileStop");
    remove_ = new QToolButton(this);
    remove_->setObjectName("TileRemove");
    remove_->setText(QString::fromUtf8("✕"));
    remove_->setAutoRaise(true);
    auto* header = new QHBoxLayout;
    header->addWidget(name_, 1);
    header->addWidget(remove_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(start_);
    buttons->addWidget(stop_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(state_);
    layout->addWidget(progress_);
    layout->addWidget(result_);
    layout->addWidget(message_);
    layout->addWidget(counts_);
    layout->addStretch();
    layout->addLayout(buttons);

    connect(start_, &QPushButton::clicked, this, &ProgrammerTile::startClicked);
    connect(stop_, &QPushButton::clicked, this, &ProgrammerTile::stopClicked);
    connect(remove_, &QToolButton::clicked, this, &ProgrammerTile::removeClicked);
    showSeat(nullptr, true, true, English);
}

void ProgrammerTile::count(bool passed, const std::string& message)
{
    (passed ? passed_ : failed_)++;
    lastPassed_ = passed;
    anyResult_ = true;
    message_->setText(passed ? QString() : qText(message));
}

void ProgrammerTile::showSeat(const GangRun::SeatView* seat, bool attached, bool mayStart, int language)
{
    const auto text = [language](Msg message) { return qText(MessageCatalogue::text(message, language)); };
    const bool running = seat && seat->running;
    const bool lost = !attached;
    if (lost)
        state_->setText(text(Msg::NotConnected));
    else if (running)
        state_->setText(seat->state.empty() ? text(Msg::Connected) : qText(seat->state));
    else
        state_->setText(text(Msg::TileIdle));
    restyle(state_, lost ? QString("color: ") + Red + "; font-weight: bold" : QString());
    restyle(this, QString("QFrame#ProgrammerTile { border-radius: 6px; border: ") +
                  (lost ? QString("3px solid ") + Red : QString("1px solid #a0a0a0")) + " }");
    progress_->setMaximum(running && seat->maximum > 0 ? static_cast<int>(seat->maximum) : 1);
    progress_->setValue(running && seat->maximum > 0 ? static_cast<int>(seat->position) : 0);
    if (seat && !seat->running && !seat->stopReason.empty())
        message_->setText(qText(seat->stopReason));

    if (anyResult_) {
        result_->setText(text(lastPassed_ ? Msg::PassIndication : Msg::FailIndication));
        restyle(result_, QString("color: white; border-radius: 4px; background-color: ") +
                               (lastPassed_ ? Green : Red));
    } else {
        result_->setText("—");
        restyle(result_, "color: #808080");
    }
    counts_->setText(text(Msg::PassedLabel) + " " + QString::number(passed_) + "    " + text(Msg::FailedLabel) + " " +
                     QString::number(failed_));
    // A stop ends the loop after the chip in the socket; until then the tile says so.
    const bool stopping = running && seat->stopping;
    start_->setEnabled(!running && mayStart);
    stop_->setEnabled(running && !stopping);
    stop_->setText(text(stopping ? Msg::StoppingButton : Msg::StopButton));
    remove_->setEnabled(!running);
}

void ProgrammerTile::ApplyLanguage(int language)
{
    start_->setText(qText(MessageCatalogue::text(Msg::StartButton, language)));
    // Wide enough for "Stopping…" too (showSeat() sets the text it shows).
    stop_->setText(qText(MessageCatalogue::text(Msg::StoppingButton, language)));
    stop_->setMinimumWidth(stop_->sizeHint().width());
    remove_->setToolTip(qText(MessageCatalogue::text(Msg::RemoveButton, language)));
}
