#include "buffers/ui/CompareDialog.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "buffers/BufferSet.h"
#include "buffers/FileComparison.h"
#include "buffers/FlashViewEdits.h"
#include "buffers/HexText.h"
#include "buffers/ui/BenchText.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"
#include "hexview/HexView.h"

namespace {

QString hexText(size_t value)
{
    return QString::fromStdString(HexFieldText(static_cast<uint32_t>(value)));
}

}  // namespace

CompareDialog::CompareDialog(HexView& view, Workbench& workbench, OperationHost& host, QWidget* parent)
    : QDialog(parent), view_(view), workbench_(workbench), host_(host)
{
    setObjectName("CompareDialog");
    summary_ = new QLabel(this);
    summary_->setWordWrap(true);
    note_ = new QLabel(this);
    list_ = new QTreeWidget(this);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setColumnCount(3);
    list_->setMinimumSize(420, 300);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { showRange(item); });
    close_ = new QPushButton(this);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(list_, 1);
    layout->addWidget(note_);
    layout->addLayout(buttons);
    ApplyLanguage(0);
}

void CompareDialog::ApplyLanguage(int language)
{
    language_ = language;
    setWindowTitle(benchText(Msg::CompareTitle, language));
    list_->setHeaderLabels({benchText(Msg::CompareStart, language), benchText(Msg::CompareEnd, language),
                            benchText(Msg::CompareBytes, language)});
    close_->setText(benchText(Msg::CloseButton, language));
}

bool CompareDialog::compareWith(const std::string& path)
{
    list_->clear();
    summary_->clear();
    note_->clear();
    TakeOverFlashViewEdits(workbench_, host_);
    const size_t length = std::min<size_t>(view_.byteCount(), BufferSet::FlashCapacity);
    const FileComparison result = CompareWithFile(workbench_.buffers.flash(), BufferSet::FlashCapacity, length, path);
    for (const std::string& error : result.errors)
        host_.errorBox(error);
    if (!result.ok())
        return false;
    const QString name = QFileInfo(QString::fromStdString(path)).fileName();
    const Comparison& comparison = result.comparison;
    if (comparison.equal()) {
        summary_->setText(benchText(Msg::CompareEqual, language_, {name.toStdString(), std::to_string(result.compared)}));
        return true;
    }
    summary_->setText(
        benchText(Msg::CompareSummary, language_,
                  {name.toStdString(), std::to_string(comparison.rangeCount), std::to_string(comparison.differingBytes)}));
    QList<QTreeWidgetItem*> items;
    const size_t listed = comparison.ranges.size();
    items.reserve(qsizetype(listed));
    for (size_t i = 0; i < listed; ++i) {
        const DifferingRange& range = comparison.ranges[i];
        auto* item = new QTreeWidgetItem(
            {hexText(range.start), hexText(range.start + range.length - 1), QString::number(range.length)});
        item->setData(0, Qt::UserRole, qulonglong(range.start));
        item->setData(1, Qt::UserRole, qulonglong(range.length));
        items << item;
    }
    list_->addTopLevelItems(items);
    if (comparison.rangeCount > listed)
        note_->setText(benchText(Msg::CompareListCut, language_, {std::to_string(listed)}));
    return true;
}

QString CompareDialog::summaryText() const
{
    return summary_->text();
}

void CompareDialog::showRange(QTreeWidgetItem* item)
{
    if (item == nullptr)
        return;
    const auto start = static_cast<uint32_t>(item->data(0, Qt::UserRole).toULongLong());
    const auto length = static_cast<uint32_t>(item->data(1, Qt::UserRole).toULongLong());
    view_.select(start, length);
    view_.setFocus();
}
