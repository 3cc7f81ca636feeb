#include "app/StatusRegisterDialog.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "buffers/HexText.h"
#include "buffers/ui/BenchText.h"
#include "buffers/ui/HexFieldFilter.h"
#include "chips/ChipCatalogue.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"
#include "ops/FlashInstructions.h"
#include "ops/StatusRegister.h"

namespace {

enum Column { BitColumn, NameColumn, ValueColumn, MeaningColumn, ColumnCount };

}  // namespace

StatusRegisterDialog::StatusRegisterDialog(Workbench& workbench, OperationHost& host, QWidget* parent)
    : QDialog(parent), workbench_(workbench), host_(host)
{
    setObjectName("StatusRegisterDialog");
    registerLabel_ = new QLabel(this);
    registerLabel_->setObjectName("RegisterValue");
    bits_ = new QTableWidget(8, ColumnCount, this);
    bits_->setObjectName("StatusBits");
    bits_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    bits_->setSelectionMode(QAbstractItemView::NoSelection);
    bits_->verticalHeader()->hide();
    bits_->horizontalHeader()->setStretchLastSection(true);
    bits_->setMinimumWidth(520);

    valueLabel_ = new QLabel(this);
    value_ = new QLineEdit(this);
    value_->setObjectName("NewValue");
    value_->setMaxLength(2);
    value_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    value_->setMaximumWidth(value_->fontMetrics().horizontalAdvance("WWWW"));
    HexFieldFilter::install(value_);
    read_ = new QPushButton(this);
    write_ = new QPushButton(this);
    close_ = new QPushButton(this);
    read_->setDefault(true);
    connect(read_, &QPushButton::clicked, this, &StatusRegisterDialog::readRegister);
    connect(write_, &QPushButton::clicked, this, &StatusRegisterDialog::writeRegister);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);

    auto* valueRow = new QHBoxLayout;
    valueRow->addWidget(valueLabel_);
    valueRow->addWidget(value_);
    valueRow->addWidget(write_);
    valueRow->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(read_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(registerLabel_);
    layout->addWidget(bits_);
    layout->addLayout(valueRow);
    layout->addLayout(buttons);
    ApplyLanguage(0);
}

void StatusRegisterDialog::ApplyLanguage(int language)
{
    language_ = language;
    setWindowTitle(benchText(Msg::StatusRegisterTitle, language));
    bits_->setHorizontalHeaderLabels({benchText(Msg::StatusRegisterBitColumn, language),
                                      benchText(Msg::StatusRegisterNameColumn, language),
                                      benchText(Msg::StatusRegisterSetColumn, language),
                                      benchText(Msg::StatusRegisterMeaningColumn, language)});
    valueLabel_->setText(benchText(Msg::StatusRegisterNewValue, language));
    read_->setText(benchText(Msg::StatusRegisterReadButton, language));
    write_->setText(benchText(Msg::StatusRegisterWriteButton, language));
    close_->setText(benchText(Msg::CloseButton, language));
    showStatus(shown_);
}

// The highest bit on top, as data sheets draw the register.
void StatusRegisterDialog::showStatus(std::optional<uint8_t> status)
{
    shown_ = status;
    registerLabel_->setText(benchText(Msg::StatusRegisterValue, language_, {status ? StatusText(*status) : "-"}));
    const std::span<const StatusBit> bits = StatusBitsOf(workbench_.catalogue.currentRecord());
    bits_->setRowCount(int(bits.size()));
    for (size_t i = 0; i < bits.size(); ++i) {
        const StatusBit& bit = bits[bits.size() - 1 - i];
        const QString value = status ? QString::number((*status & bit.mask()) ? 1 : 0) : QString();
        const QString texts[ColumnCount] = {QString::number(bit.bit), QString::fromLatin1(bit.name), value,
                                            benchText(bit.meaning, language_)};
        for (int column = 0; column < ColumnCount; ++column)
            bits_->setItem(int(i), column, new QTableWidgetItem(texts[column]));
    }
    bits_->resizeColumnsToContents();
    // Eight rows are few: all of them show, without a scroll bar.
    int height = bits_->horizontalHeader()->sizeHint().height() + 2 * bits_->frameWidth();
    for (int row = 0; row < bits_->rowCount(); ++row)
        height += bits_->rowHeight(row);
    bits_->setMinimumHeight(height);
}

bool StatusRegisterDialog::readRegister()
{
    uint8_t status = 0;
    const bool read = RunReadStatusRegister(workbench_, host_, status);
    showStatus(read ? std::optional<uint8_t>(status) : std::nullopt);
    if (read)
        value_->setText(QString::fromStdString(HexFieldText(status)));
    return read;
}

bool StatusRegisterDialog::writeRegister()
{
    const std::string text = value_->text().trimmed().toStdString();
    const HexConversion conversion = ConvertHexText(text);
    if (text.empty() || !conversion.ok() || conversion.value < 0 || conversion.value > 0xFF) {
        host_.errorBox(MessageCatalogue::format(Msg::StatusRegisterBadValue, language_, {text}));
        return false;
    }
    const uint8_t value = static_cast<uint8_t>(conversion.value);
    if (!host_.question(MessageCatalogue::format(Msg::StatusRegisterWriteQuestion, language_, {StatusText(value)})))
        return false;
    uint8_t status = 0;
    if (!RunWriteStatusRegister(workbench_, host_, value, status))
        return false;
    showStatus(status);
    return true;
}
