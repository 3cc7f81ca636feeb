#include "production/ui/GangPanel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "core/MessageCatalogue.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"
#include "link/ProgrammerIdentity.h"
#include "production/ui/ProgrammerChoiceDialog.h"
#include "production/ui/ProgrammerTile.h"
#include "production/ui/TileScrollArea.h"

namespace {

constexpr int TilesPerRow = 4;
constexpr int RefreshMs = 150;
// A look at the bus lists every programmer; once a second is enough to see one go.
constexpr int LookMs = 1000;

std::string nameOf(const TUsbBulk::Port& port)
{
    return port.serial.empty() ? port.position : port.serial;
}

}  // namespace

GangPanel::GangPanel(Workbench& workbench, OperationHost& host, GangMaker makeGang, QWidget* parent)
    : QGroupBox(parent), workbench_(workbench), host_(host), makeGang_(std::move(makeGang))
{
    setObjectName("Programmers");
    add_ = new QPushButton(this);
    add_->setObjectName("AddProgrammers");
    hint_ = new QLabel(this);
    hint_->setObjectName("ProgrammersHint");
    auto* header = new QHBoxLayout;
    header->addWidget(add_);
    header->addWidget(hint_, 1);
    // Tiles of equal width, four to a row; more rows than the view has room
    // for scroll, so that the view's buttons and log stay in sight.
    auto* tilesArea = new QWidget;
    grid_ = new QGridLayout(tilesArea);
    grid_->setContentsMargins(0, 0, 0, 0);
    grid_->setAlignment(Qt::AlignTop);
    scroll_ = new TileScrollArea(this);
    scroll_->setObjectName("TileArea");
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setWidget(tilesArea);
    for (int column = 0; column < TilesPerRow; ++column)
        grid_->setColumnStretch(column, 1);
    // The group takes the room its tiles need, the log what is left.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(scroll_, 1);
    connect(add_, &QPushButton::clicked, this, &GangPanel::AddProgrammersClick);
    timer_ = new QTimer(this);
    timer_->setInterval(RefreshMs);
    connect(timer_, &QTimer::timeout, this, &GangPanel::refreshTiles);
    lookTimer_ = new QTimer(this);
    lookTimer_->setInterval(LookMs);
    connect(lookTimer_, &QTimer::timeout, this, &GangPanel::lookForProgrammers);
    placeTiles();
}

// Chips in flight finish before the window goes: nothing is left half written.
GangPanel::~GangPanel()
{
    if (look_.joinable())
        look_.join();
    if (!gang_)
        return;
    for (size_t seat = 0; seat < gang_->seatCount(); ++seat)
        gang_->stopSeat(seat);
    gang_->wait();
    if (active_)
        workbench_.busy = false;
}

std::vector<ProgrammerTile*> GangPanel::tiles() const
{
    std::vector<ProgrammerTile*> shown;
    for (const Entry& entry : tiles_)
        shown.push_back(entry.tile);
    return shown;
}

void GangPanel::ApplyLanguage(int language)
{
    setTitle(QString::fromStdString(MessageCatalogue::text(Msg::ProgrammersGroup, language)));
    add_->setText(QString::fromStdString(MessageCatalogue::text(Msg::AddProgrammersButton, language)));
    if (!hint_->text().isEmpty())
        hint_->setText(QString::fromStdString(MessageCatalogue::text(Msg::NoOtherProgrammer, language)));
    for (const Entry& entry : tiles_)
        entry.tile->ApplyLanguage(language);
    refreshTiles();
}

void GangPanel::setAddingShown(bool shown)
{
    add_->setVisible(shown);
    hint_->setVisible(shown);
}

void GangPanel::AddProgrammersClick()
{
    if (alone_) {
        host_.beep();
        return;
    }
    using namespace ProgrammerIdentity;
    const std::vector<TUsbBulk::Port> ports = TUsbBulk::findPorts(VendorId, Manufacturer, ProductId, Product);
    attachedFound(ports);
    std::vector<std::string> free;
    for (const TUsbBulk::Port& port : ports) {
        const std::string name = nameOf(port);
        const bool shown = std::any_of(tiles_.begin(), tiles_.end(),
                                       [&](const Entry& entry) { return entry.tile->programmer() == name; });
        if (port.claimable && !shown)
            free.push_back(name);
    }
    hint_->setText(free.empty() ? QString::fromStdString(
                                      MessageCatalogue::text(Msg::NoOtherProgrammer, workbench_.languageIndex))
                                : QString());
    if (!free.empty()) {
        ProgrammerChoiceDialog choice(free, workbench_.languageIndex, this);
        if (choice.exec() == QDialog::Accepted) {
            for (const std::string& programmer : choice.chosen())
                addProgrammer(programmer);
        }
    }
    refreshTiles();
}

// The look waits for no programmer's open and the window waits for no look:
// each tick shows what the last look found and starts the next; a look still
// under way lets the tick pass.
void GangPanel::lookForProgrammers()
{
    {
        const std::lock_guard lock(lookMutex_);
        if (looking_)
            return;
        looking_ = true;
    }
    if (look_.joinable()) {
        look_.join();
        attachedFound(looked_);
        refreshTiles();
    }
    look_ = std::thread([this] {
        using namespace ProgrammerIdentity;
        std::vector<TUsbBulk::Port> ports = TUsbBulk::knownPorts(VendorId, Manufacturer, ProductId, Product);
        const std::lock_guard lock(lookMutex_);
        looked_ = std::move(ports);
        looking_ = false;
    });
}

void GangPanel::attachedFound(const std::vector<TUsbBulk::Port>& ports)
{
    attached_.clear();
    for (const TUsbBulk::Port& port : ports)
        attached_.insert(nameOf(port));
}

void GangPanel::addProgrammer(const std::string& programmer)
{
    auto* tile = new ProgrammerTile(programmer, this);
    tile->ApplyLanguage(workbench_.languageIndex);
    connect(tile, &ProgrammerTile::startClicked, this, [this, tile] { startTile(tile); });
    connect(tile, &ProgrammerTile::stopClicked, this, [this, tile] { stopTile(tile); });
    connect(tile, &ProgrammerTile::removeClicked, this, [this, tile] { removeTile(tile); });
    std::optional<size_t> seat;
    // A running gang takes it in at once; an idle one is built anew at the next start.
    if (gang_ && active_ && !alone_)
        seat = gang_->addSeat(programmer);
    tiles_.push_back(Entry{tile, seat});
    attached_.insert(programmer);
    placeTiles();
    lookTimer_->start();
    refreshTiles();
    emit tilesChanged();
}

// A gang is built when the first programmer starts, so that it takes the job,
// target and log as they are then.
bool GangPanel::ensureGang()
{
    if (gang_ && active_)
        return true;
    if (workbench_.busy) {
        host_.beep();
        return false;
    }
    gang_.reset();
    std::vector<std::string> programmers;
    for (Entry& entry : tiles_) {
        entry.seat = programmers.size();
        programmers.push_back(entry.tile->programmer());
    }
    std::unique_ptr<GangRun> gang = makeGang_(programmers);
    if (!gang) {
        for (Entry& entry : tiles_)
            entry.seat.reset();
        return false;
    }
    adopt(std::move(gang));
    return true;
}

void GangPanel::adopt(std::unique_ptr<GangRun> gang)
{
    gang_ = std::move(gang);
    gang_->recorded = [this](size_t, const LogRecord& record) {
        const std::lock_guard lock(arrivedMutex_);
        arrived_.push_back(record);
    };
}

// Tiles are found by the programmer a record names, so a record that arrives
// after its gang was replaced still counts on its tile.
void GangPanel::showArrivedRecords()
{
    std::vector<LogRecord> arrived;
    {
        const std::lock_guard lock(arrivedMutex_);
        arrived.swap(arrived_);
    }
    for (const LogRecord& record : arrived) {
        for (const Entry& entry : tiles_) {
            if (entry.tile->programmer() == record.programmer)
                entry.tile->count(record.result == ChipResult::Pass, record.message);
        }
        emit recorded(record);
    }
}

void GangPanel::startAll()
{
    if (tiles_.empty() || !ensureGang())
        return;
    for (const Entry& entry : tiles_)
        gang_->startSeat(*entry.seat);
    setActive(true);
    refreshTiles();
}

// Runs like any gang, so that the window's own programmer gets every promise
// of a gang's: its own thread, the busy workbench, a stop after the chip.
void GangPanel::startAlone(const std::string& programmer)
{
    if (active_ || !tiles_.empty() || workbench_.busy) {
        host_.beep();
        return;
    }
    gang_.reset();
    std::unique_ptr<GangRun> gang = makeGang_({programmer});
    if (!gang)
        return;
    adopt(std::move(gang));
    alone_ = true;
    aloneMaximum_ = aloneTickMs_ = 0;
    gang_->startSeat(0);
    setActive(true);
    refreshTiles();
}

void GangPanel::stopAll()
{
    if (!gang_ || !active_)
        return;
    for (size_t seat = 0; seat < gang_->seatCount(); ++seat)
        gang_->stopSeat(seat);
    stopping_ = true;
    refreshTiles();
}

void GangPanel::startTile(ProgrammerTile* tile)
{
    if (stopping_ || alone_) {
        host_.beep();
        return;
    }
    if (!ensureGang())
        return;
    gang_->startSeat(*entryOf(tile)->seat);
    setActive(true);
    refreshTiles();
}

void GangPanel::stopTile(ProgrammerTile* tile)
{
    const Entry* entry = entryOf(tile);
    if (gang_ && entry->seat)
        gang_->stopSeat(*entry->seat);
}

void GangPanel::removeTile(ProgrammerTile* tile)
{
    const auto found = std::find_if(tiles_.begin(), tiles_.end(), [tile](const Entry& entry) { return entry.tile == tile; });
    if (found == tiles_.end())
        return;
    if (gang_ && found->seat) {
        const std::vector<GangRun::SeatView> views = gang_->views();
        if (views.at(*found->seat).running) {
            host_.beep();
            return;
        }
    }
    tiles_.erase(found);
    tile->deleteLater();
    placeTiles();
    if (tiles_.empty())
        lookTimer_->stop();
    emit tilesChanged();
}

GangPanel::Entry* GangPanel::entryOf(const ProgrammerTile* tile)
{
    for (Entry& entry : tiles_) {
        if (entry.tile == tile)
            return &entry;
    }
    return nullptr;
}

void GangPanel::placeTiles()
{
    for (const Entry& entry : tiles_)
        grid_->removeWidget(entry.tile);
    for (size_t index = 0; index < tiles_.size(); ++index)
        grid_->addWidget(tiles_[index].tile, static_cast<int>(index / TilesPerRow),
                         static_cast<int>(index % TilesPerRow), Qt::AlignTop);
    scroll_->setVisible(!tiles_.empty());
}

void GangPanel::refreshTiles()
{
    // The views first: a seat seen stopped has handed in all its records.
    const std::vector<GangRun::SeatView> views = gang_ ? gang_->views() : std::vector<GangRun::SeatView>();
    showArrivedRecords();
    for (const Entry& entry : tiles_) {
        const GangRun::SeatView* seat = entry.seat && *entry.seat < views.size() ? &views[*entry.seat] : nullptr;
        entry.tile->showSeat(seat, attached_.count(entry.tile->programmer()) > 0, !stopping_,
                             workbench_.languageIndex);
    }
    if (alone_ && !views.empty()) {
        showAlone(views.front());
        emit aloneStateShown(TileState::of(&views.front(), true, workbench_.languageIndex));
    }
    const bool running = std::any_of(views.begin(), views.end(), [](const GangRun::SeatView& view) { return view.running; });
    if (active_ && !running) {
        gang_->wait();
        setActive(false);
    }
}

void GangPanel::showAlone(const GangRun::SeatView& seat)
{
    if (!seat.state.empty())
        host_.setStateText(seat.state);
    const uint32_t maximum = seat.running ? seat.maximum : 0;
    if (maximum != aloneMaximum_ || seat.allowanceTickMs != aloneTickMs_) {
        if (maximum == 0)
            host_.hideProgress();
        else if (seat.allowanceTickMs > 0)
            host_.showAllowance(maximum, seat.allowanceTickMs);
        else
            host_.showProgress(maximum);
        aloneMaximum_ = maximum;
        aloneTickMs_ = seat.allowanceTickMs;
    }
    if (maximum > 0)
        host_.setProgress(seat.position);
}

void GangPanel::setActive(bool active)
{
    if (active == active_)
        return;
    active_ = workbench_.busy = active;
    add_->setEnabled(!alone_);
    if (active) {
        timer_->start();
    } else {
        timer_->stop();
        stopping_ = false;
        if (alone_) {
            alone_ = false;
            add_->setEnabled(true);
            emit aloneStateShown(TileState::of(nullptr, true, workbench_.languageIndex));
        }
        refreshTiles();
        for (const GangRun::SeatView& seat : gang_->views()) {
            if (!seat.stopReason.empty()) {
                emit stoppedOnItsOwn(QString::fromStdString(seat.stopReason));
                break;
            }
        }
    }
    emit runningChanged(active);
}
