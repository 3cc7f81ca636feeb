#include "production/ui/ProgrammerTile.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/MessageCatalogue.h"
#include "production/TileState.h"

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

QString ProgrammerTile::toneStyle(TileState::Tone tone)
{
    switch (tone) {
    case TileState::Tone::Bad:
        return QString("color: ") + Red + "; font-weight: bold";
    case TileState::Tone::Good:
        return QString("color: ") + Green + "; font-weight: bold";
    case TileState::Tone::Busy:
        return "font-weight: bold";
    case TileState::Tone::Quiet:
        break;
    }
    return {};
}

ProgrammerTile::ProgrammerTile(const std::string& programmer, QWidget* parent)
    : QFrame(parent), programmer_(programmer)
{
    setObjectName("ProgrammerTile");
    // Equal shares of the row, whatever their texts say.
    setMinimumWidth(170);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Maximum);

    name_ = new QLabel(qText(programmer), this);
    name_->setTextFormat(Qt::PlainText);
    QFont bold = name_->font();
    bold.setBold(true);
    name_->setFont(bold);
    state_ = new QLabel(this);
    state_->setObjectName("TileState");
    state_->setTextFormat(Qt::PlainText);
    state_->setWordWrap(true);
    state_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    progress_->setMaximumHeight(8);
    result_ = new QLabel(this);
    result_->setObjectName("TileResult");
    result_->setAlignment(Qt::AlignCenter);
    result_->setMinimumSize(72, 30);
    QFont big = result_->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    result_->setFont(big);
    counts_ = new QLabel(this);
    counts_->setObjectName("TileCounts");
    counts_->setWordWrap(true);
    message_ = new QLabel(this);
    message_->setObjectName("TileMessage");
    message_->setTextFormat(Qt::PlainText);
    message_->setWordWrap(true);
    message_->setStyleSheet(QString("color: ") + Red);
    message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // A tile keeps its size whatever it says, so that a failure on every tile
    // (a line server gone) never pushes a row of them out of sight: two lines
    // each for the state and the failure, the whole text a hover away.
    for (QLabel* label : {state_, message_}) {
        label->setFixedHeight(2 * label->fontMetrics().lineSpacing());
        // Nor does a long text make its tile wider than the others.
        QSizePolicy kept(QSizePolicy::Ignored, QSizePolicy::Fixed);
        kept.setRetainSizeWhenHidden(true);
        label->setSizePolicy(kept);
    }

    start_ = new QPushButton(this);
    start_->setObjectName("TileStart");
    stop_ = new QPushButton(this);
    stop_->setObjectName("TileStop");
    // The buttons share the tile's width, whichever text they show.
    for (QPushButton* button : {start_, stop_})
        button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    remove_ = new QToolButton(this);
    remove_->setObjectName("TileRemove");
    remove_->setText(QString::fromUtf8("✕"));
    remove_->setAutoRaise(true);
    auto* header = new QHBoxLayout;
    header->addWidget(name_, 1);
    header->addWidget(remove_);
    auto* outcome = new QHBoxLayout;
    outcome->addWidget(result_);
    outcome->addWidget(counts_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(start_);
    buttons->addWidget(stop_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 6);
    layout->setSpacing(3);
    layout->addLayout(header);
    layout->addWidget(state_);
    layout->addWidget(progress_);
    layout->addLayout(outcome);
    layout->addWidget(message_);
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
    const TileState shown = TileState::of(seat, attached, language);
    state_->setText(qText(shown.text));
    state_->setToolTip(state_->text());
    restyle(state_, toneStyle(shown.tone));
    restyle(this, QString("QFrame#ProgrammerTile { border-radius: 6px; border: ") +
                  (lost ? QString("3px solid ") + Red : QString("1px solid #a0a0a0")) + " }");
    progress_->setMaximum(running && seat->maximum > 0 ? static_cast<int>(seat->maximum) : 1);
    progress_->setValue(running && seat->maximum > 0 ? static_cast<int>(seat->position) : 0);
    if (seat && !seat->running && !seat->stopReason.empty())
        message_->setText(qText(seat->stopReason));
    // The failure of the chip in hand is in the state line already.
    message_->setVisible(!message_->text().isEmpty() && !state_->text().contains(message_->text()));
    message_->setToolTip(message_->text());

    if (anyResult_) {
        result_->setText(text(lastPassed_ ? Msg::PassIndication : Msg::FailIndication));
        restyle(result_, QString("color: white; border-radius: 4px; background-color: ") +
                               (lastPassed_ ? Green : Red));
    } else {
        result_->setText("—");
        restyle(result_, "color: #808080");
    }
    counts_->setText(text(Msg::PassedLabel) + " " + QString::number(passed_) + "  " + text(Msg::FailedLabel) + " " +
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
    remove_->setToolTip(qText(MessageCatalogue::text(Msg::RemoveButton, language)));
}
