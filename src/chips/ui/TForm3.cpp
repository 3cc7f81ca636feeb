#include "chips/ui/TForm3.h"

#include <QHeaderView>
#include <QLineEdit>

#include "core/MessageCatalogue.h"
#include "chips/ChipSearch.h"
#include "ops/SelectChip.h"
#include "core/Workbench.h"
#include "ui_TForm3.h"

namespace {

enum Column { TypeColumn, ManufacturerColumn, NameColumn, SlotColumn };

struct Captions {
    const char* form;
    const char* find;
    const char* select;
    const char* quit;
    const char* type;
    const char* manufacturer;
    const char* name;
};

const Captions& captions(int languageIndex)
{
    static const Captions table[] = {
        {"芯片选择", "查找", "选择", "退出", "类型", "厂商", "名称"},
        {"芯片選擇", "查找", "選擇", "退出", "類型", "廠商", "名稱"},
        {"Chip Select", "Find", "Select", "Quit", "Type", "Manufacturer", "Name"},
    };
    return table[MessageCatalogue::normalisedLanguage(languageIndex)];
}

}  // namespace

TForm3::TForm3(Workbench& workbench, OperationHost& host, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TForm3>()), workbench_(workbench), host_(host)
{
    ui->setupUi(this);
    // The slot column is there for the program, not the eye.
    ui->ListView1->header()->setMinimumSectionSize(1);
    ui->ListView1->header()->setStretchLastSection(false);
    connect(ui->ComboBox1, &QComboBox::editTextChanged, this, &TForm3::ComboBox1Change);
    connect(ui->BitBtn1, &QPushButton::clicked, this, &TForm3::BitBtn1Click);
    connect(ui->ListView1, &QTreeWidget::itemDoubleClicked, this, &TForm3::BitBtn1Click);
    connect(ui->BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

TForm3::~TForm3() = default;

void TForm3::ApplyLanguage(int languageIndex)
{
    if (languageIndex < 0 || languageIndex > 2)
        return;
    const Captions& texts = captions(languageIndex);
    setWindowTitle(QString::fromUtf8(texts.form));
    ui->Label1->setText(QString::fromUtf8(texts.find));
    ui->BitBtn1->setText(QString::fromUtf8(texts.select));
    ui->BitBtn2->setText(QString::fromUtf8(texts.quit));
}

int TForm3::columnCount() const
{
    return ui->ListView1->columnCount();
}

void TForm3::showEvent(QShowEvent* event)
{
    // The list starts empty with its three columns; the field keeps the last
    // search and takes the keys, its text selected so that typing replaces it.
    setColumns(false);
    QDialog::showEvent(event);
    ui->ComboBox1->setFocus(Qt::OtherFocusReason);
    ui->ComboBox1->lineEdit()->selectAll();
}

void TForm3::setColumns(bool withSlot)
{
    const Captions& texts = captions(workbench_.languageIndex);
    QTreeWidget* list = ui->ListView1;
    list->clear();
    QStringList labels{QString::fromUtf8(texts.type), QString::fromUtf8(texts.manufacturer),
                       QString::fromUtf8(texts.name)};
    if (withSlot)
        labels << QStringLiteral("pos");
    list->setColumnCount(static_cast<int>(labels.size()));
    list->setHeaderLabels(labels);
    list->setColumnWidth(TypeColumn, 80);
    list->setColumnWidth(ManufacturerColumn, 80);
    list->setColumnWidth(NameColumn, 100);
    if (withSlot)
        list->setColumnWidth(SlotColumn, 1);
}

void TForm3::ComboBox1Change()
{
    setColumns(true);
    const std::vector<ChipSearchRow> rows = FindChips(workbench_.catalogue, ui->ComboBox1->currentText().toStdString());
    QList<QTreeWidgetItem*> items;
    for (const ChipSearchRow& row : rows) {
        items << new QTreeWidgetItem(QStringList{QString::fromStdString(row.type),
                                                 QString::fromStdString(row.manufacturer),
                                                 QString::fromStdString(row.name), QString::number(row.slot)});
    }
    ui->ListView1->addTopLevelItems(items);
}

void TForm3::BitBtn1Click()
{
    const QTreeWidgetItem* item = ui->ListView1->currentItem();
    if (item == nullptr || !item->isSelected())
        return;
    ChipSearchRow row;
    row.type = item->text(TypeColumn).toStdString();
    row.manufacturer = item->text(ManufacturerColumn).toStdString();
    row.name = item->text(NameColumn).toStdString();
    SelectSearchResult(workbench_, host_, row);
    accept();
}
