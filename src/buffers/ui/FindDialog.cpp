#include "buffers/ui/FindDialog.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <span>

#include "buffers/BufferSet.h"
#include "buffers/ByteSearch.h"
#include "buffers/FlashViewEdits.h"
#include "buffers/ui/BenchText.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"
#include "hexview/HexView.h"

FindDialog::FindDialog(HexView& view, Workbench& workbench, OperationHost& host, QWidget* parent)
    : QDialog(parent), view_(view), workbench_(workbench), host_(host)
{
    setObjectName("FindDialog");
    field_ = new QLineEdit(this);
    field_->setObjectName("pattern");
    field_->setMinimumWidth(320);
    hex_ = new QRadioButton(this);
    text_ = new QRadioButton(this);
    hex_->setChecked(true);
    next_ = new QPushButton(this);
    previous_ = new QPushButton(this);
    close_ = new QPushButton(this);
    next_->setDefault(true);
    connect(next_, &QPushButton::clicked, this, &FindDialog::findNext);
    connect(previous_, &QPushButton::clicked, this, &FindDialog::findPrevious);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);

    auto* options = new QHBoxLayout;
    options->addWidget(hex_);
    options->addWidget(text_);
    options->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(previous_);
    buttons->addWidget(next_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(field_);
    layout->addLayout(options);
    layout->addLayout(buttons);
    ApplyLanguage(0);
}

void FindDialog::ApplyLanguage(int language)
{
    language_ = language;
    setWindowTitle(benchText(Msg::FindTitle, language));
    hex_->setText(benchText(Msg::FindHexOption, language));
    text_->setText(benchText(Msg::FindTextOption, language));
    next_->setText(benchText(Msg::FindNextItem, language));
    previous_->setText(benchText(Msg::FindPreviousItem, language));
    close_->setText(benchText(Msg::CloseButton, language));
}

bool FindDialog::findNext()
{
    return find(true);
}

bool FindDialog::findPrevious()
{
    return find(false);
}

std::optional<std::vector<uint8_t>> FindDialog::pattern()
{
    const QString typed = field_->text();
    if (text_->isChecked()) {
        const QByteArray bytes = typed.toUtf8();
        if (bytes.isEmpty())
            return std::nullopt;
        return std::vector<uint8_t>(bytes.begin(), bytes.end());
    }
    std::optional<std::vector<uint8_t>> bytes = ParseHexBytes(typed.toStdString());
    if (!bytes)
        host_.errorBox(benchText(Msg::BadHexPattern, language_).toStdString());
    return bytes;
}

bool FindDialog::find(bool forward)
{
    if (workbench_.busy) {
        host_.beep();
        return false;
    }
    const std::optional<std::vector<uint8_t>> bytes = pattern();
    if (!bytes)
        return false;
    // The buffer then holds what the view shows, and is searched at memory speed.
    TakeOverFlashViewEdits(workbench_, host_);
    const size_t size = std::min<size_t>(view_.byteCount(), BufferSet::FlashCapacity);
    const std::span<const uint8_t> data(workbench_.buffers.flash(), size);
    const uint32_t from = view_.hasSelection() ? view_.selectionStart() + (forward ? 1 : 0) : view_.cursorPosition();
    const std::optional<size_t> found = forward ? FindForward(data, *bytes, from) : FindBackward(data, *bytes, from);
    if (!found) {
        host_.informationBox(MessageCatalogue::format(Msg::NotFound, language_, {field_->text().toStdString()}));
        return false;
    }
    view_.select(static_cast<uint32_t>(*found), static_cast<uint32_t>(bytes->size()));
    return true;
}
