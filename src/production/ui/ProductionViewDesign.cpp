#include "production/ui/ProductionViewDesign.h"

#include <QFont>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "core/MessageCatalogue.h"
#include "production/ui/GangPanel.h"

namespace {

QString caption(Msg message, int language)
{
    return QString::fromStdString(MessageCatalogue::text(message, language));
}

// Job names, notes, failure texts and paths come from files and chips: shown
// as they are, never read as markup.
QLabel* plainLabel(QWidget* parent, const char* name = nullptr)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    if (name)
        label->setObjectName(name);
    return label;
}

QLabel* boldLabel(QWidget* parent)
{
    QLabel* label = plainLabel(parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

void enlarge(QWidget* widget, int points)
{
    QFont font = widget->font();
    font.setPointSize(font.pointSize() + points);
    widget->setFont(font);
}

}  // namespace

void ProductionViewDesign::fitWatched(int screenHeight)
{
    const int mark = screenHeight > 0 ? static_cast<int>(screenHeight * FullScreenMarkShare) : MarkHeight;
    watched->removeWidget(figures);
    if (screenHeight > 0)
        watched->addWidget(figures, 0, 1, 3, 1);
    else
        watched->addWidget(figures, 3, 0);
    watched->setColumnStretch(1, screenHeight > 0 ? 1 : 0);
    indication->setFixedHeight(mark);
    markPixels_ = mark * 2 / 3;
    fitMarkText();
    // In full screen the programmer's state, the counters and the next serial
    // stand at a sixth of the mark, the rest at a twelfth; in the window they
    // keep their own sizes.
    const struct {
        QLabel* label;
        const QFont& windowFont;
        int markShare;
    } sized[] = {{detail, detailFont_, 12},
                 {programmerState, programmerStateFont_, 6},
                 {countersText, countersFont_, 6},
                 {throughputText, throughputFont_, 12},
                 {serialLabel, serialLabelFont_, 6},
                 {serialText, serialFont_, 6}};
    for (const auto& [label, windowFont, markShare] : sized) {
        QFont font = windowFont;
        if (screenHeight > 0)
            font.setPixelSize(mark / markShare);
        label->setFont(font);
    }
}

void ProductionViewDesign::fitMarkText()
{
    QFont font = indication->font();
    font.setPixelSize(markPixels_);
    // Room for the words with a margin of half a letter each side.
    const int room = indication->width() - markPixels_ / 2;
    const int needed = QFontMetrics(font).horizontalAdvance(indication->text());
    if (room > 0 && needed > room)
        font.setPixelSize(std::max(1, markPixels_ * room / needed));
    if (font != indication->font())
        indication->setFont(font);
}

void ProductionViewDesign::setupUi(QWidget* view, GangPanel* programmersPanel)
{
    view->setObjectName("ProductionView");
    view->resize(980, 720);

    serverBanner = plainLabel(view, "LineServerBanner");
    serverBanner->setWordWrap(true);
    serverBanner->setAlignment(Qt::AlignCenter);
    serverBanner->setStyleSheet("color: white; background-color: #b06000; font-weight: bold; padding: 4px; "
                                "border-radius: 4px");
    enlarge(serverBanner, 2);
    serverBanner->hide();
    indication = plainLabel(view, "Indication");
    indication->setAlignment(Qt::AlignCenter);
    // The mark takes the width it is given; its text is fitted to it.
    indication->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    QFont big = indication->font();
    big.setBold(true);
    indication->setFont(big);
    detail = plainLabel(view, "FailureText");
    detail->setWordWrap(true);
    detail->setAlignment(Qt::AlignCenter);
    enlarge(detail, 2);
    programmerState = plainLabel(view, "ProgrammerState");
    programmerState->setWordWrap(true);
    enlarge(programmerState, 3);
    figures = new QWidget(view);
    figures->setObjectName("Figures");
    countersText = plainLabel(figures, "Counters");
    countersText->setWordWrap(true);
    enlarge(countersText, 3);
    throughputText = plainLabel(figures, "Throughput");
    throughputText->setWordWrap(true);
    serialLabel = boldLabel(figures);
    serialLabel->setWordWrap(true);
    serialText = plainLabel(figures, "NextSerial");
    enlarge(serialText, 3);
    auto* serialRow = new QHBoxLayout;
    serialRow->addWidget(serialLabel);
    serialRow->addWidget(serialText, 1);
    auto* figuresLayout = new QVBoxLayout(figures);
    figuresLayout->setContentsMargins(0, 0, 0, 0);
    figuresLayout->addWidget(countersText);
    figuresLayout->addWidget(throughputText);
    figuresLayout->addLayout(serialRow);
    figuresLayout->addStretch();
    watched = new QGridLayout;
    watched->addWidget(indication, 0, 0);
    watched->addWidget(detail, 1, 0);
    watched->addWidget(programmerState, 2, 0);
    watched->addWidget(figures, 3, 0);
    watched->setColumnStretch(0, 1);
    watched->setRowStretch(4, 1);
    detailFont_ = detail->font();
    programmerStateFont_ = programmerState->font();
    countersFont_ = countersText->font();
    throughputFont_ = throughputText->font();
    serialLabelFont_ = serialLabel->font();
    serialFont_ = serialText->font();
    fitWatched(0);

    jobDetails = new QWidget(view);
    jobDetails->setObjectName("JobDetails");
    auto* grid = new QGridLayout(jobDetails);
    grid->setContentsMargins(0, 0, 0, 0);
    int row = 0;
    const auto addRow = [&](QLabel*& label, QWidget* value) {
        label = boldLabel(jobDetails);
        grid->addWidget(label, row, 0, Qt::AlignTop);
        grid->addWidget(value, row++, 1);
    };
    jobText = plainLabel(jobDetails, "JobText");
    jobText->setWordWrap(true);
    addRow(jobLabel, jobText);
    lockText = plainLabel(jobDetails, "LockState");
    grid->addWidget(lockText, row++, 1);
    target = new QSpinBox(jobDetails);
    target->setObjectName("TargetCount");
    target->setRange(0, 100000000);
    target->setSpecialValueText("-");
    target->setMinimumWidth(120);
    auto* targetRow = new QHBoxLayout;
    targetRow->addWidget(target);
    targetRow->addStretch();
    targetLabel = boldLabel(jobDetails);
    grid->addWidget(targetLabel, row, 0);
    grid->addLayout(targetRow, row++, 1);
    checksumText = plainLabel(jobDetails, "Checksums");
    checksumText->setWordWrap(true);
    checksumText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(checksumText, row++, 0, 1, 2);
    databaseText = plainLabel(jobDetails, "LogDatabase");
    databaseText->setWordWrap(true);
    // A long path without spaces must not widen the view: cut, and whole in its tooltip.
    databaseText->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    databaseText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    addRow(databaseLabel, databaseText);
    server = new QLineEdit(jobDetails);
    server->setObjectName("ServerAddress");
    server->setPlaceholderText("postgresql://user@host/database");
    addRow(serverLabel, server);
    serverState = plainLabel(jobDetails, "ServerState");
    serverState->setWordWrap(true);
    grid->addWidget(serverState, row++, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);

    auto* top = new QHBoxLayout;
    top->addLayout(watched, 1);
    top->addWidget(jobDetails, 1);

    programmers = programmersPanel;

    rows = new QTableWidget(0, 8, view);
    rows->setObjectName("LogRows");
    rows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rows->setWordWrap(false);
    rows->setTextElideMode(Qt::ElideRight);
    rows->verticalHeader()->hide();
    // One line per record, however long its message.
    rows->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    rows->verticalHeader()->setDefaultSectionSize(rows->fontMetrics().height() + 6);
    rows->horizontalHeader()->setStretchLastSection(true);
    rows->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    rows->setMinimumHeight(rows->horizontalHeader()->sizeHint().height() +
                           RowsAlwaysShown * rows->verticalHeader()->defaultSectionSize() + 2 * rows->frameWidth());

    start = new QPushButton(view);
    start->setObjectName("Start");
    stop = new QPushButton(view);
    stop->setObjectName("Stop");
    for (QPushButton* button : {start, stop}) {
        enlarge(button, 6);
        button->setMinimumHeight(44);
    }
    fullScreen = new QPushButton(view);
    fullScreen->setObjectName("FullScreen");
    reset = new QPushButton(view);
    reset->setObjectName("ResetCounters");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(start);
    buttons->addWidget(stop);
    buttons->addStretch();
    buttons->addWidget(fullScreen);
    buttons->addWidget(reset);

    layout = new QVBoxLayout(view);
    layout->addWidget(serverBanner);
    layout->addLayout(top);
    layout->addWidget(programmers);
    layout->addWidget(rows, 1);
    layout->addLayout(buttons);
}

void ProductionViewDesign::applyLanguage(int language)
{
    jobLabel->setText(caption(Msg::JobLabel, language));
    targetLabel->setText(caption(Msg::TargetLabel, language));
    serialLabel->setText(caption(Msg::NextSerialLabel, language));
    databaseLabel->setText(caption(Msg::LogDatabaseLabel, language));
    serverLabel->setText(caption(Msg::PostgresLabel, language));
    start->setText(caption(Msg::StartButton, language));
    // Wide enough for "Stopping…" too (the view sets the text it shows).
    stop->setText(caption(Msg::StoppingButton, language));
    stop->setMinimumWidth(stop->sizeHint().width());
    reset->setText(caption(Msg::ResetCountersButton, language));
    // The catalogue's columns (shared with the station page) with the message,
    // its sixth, moved last, where it may be cut short.
    QStringList columns = caption(Msg::LogColumns, language).split('|');
    columns.move(5, columns.size() - 1);
    rows->setHorizontalHeaderLabels(columns);
}
