#include "chips/ui/TForm2.h"

#include <QHeaderView>

#include "chips/ChipDatabaseFile.h"
#include "core/HeldImage.h"
#include "core/RunningExecutable.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"
#include "ui_TForm2.h"

namespace {

QStringList toQStrings(const std::vector<std::string>& texts)
{
    QStringList list;
    for (const std::string& text : texts)
        list << QString::fromStdString(text);
    return list;
}

void setItems(QComboBox* box, const std::vector<std::string>& texts)
{
    box->clear();
    box->addItems(toQStrings(texts));
}

// The combo's text as the row gets it: the edit text when the box is
// editable, the chosen item otherwise.
std::string textOf(const QComboBox* box)
{
    return box->currentText().toStdString();
}

struct Captions {
    const char* texts[20];
};

// Dialog caption, group, Label1..Label13, BtnDelete, BtnAdd, BtnEdit, BtnSave, BtnExit.
const Captions& captions(int languageIndex)
{
    static const Captions table[] = {
        {{"芯片编辑", "配置", "种类", "厂商", "芯片型号", "延时", "芯片类型", "FLASH", "FLASH页", "工作电压", "算法",
          "芯片ID", "EEPROM", "EEPROM页", "扩展关联", "删除", "添加", "编辑", "保存", "退出"}},
        {{"芯片編輯", "配置", "種類", "廠商", "芯片型號", "延時", "芯片類型", "FLASH", "FLASH頁", "工作電壓", "算法",
          "芯片ID", "EEPROM", "EEPROM頁", "擴展關聯", "删除", "添加", "編輯", "保存", "退出"}},
        {{"Chip Editor", "Config", "Type", "Manufacturer", "Name", "Delay", "Class", "FLASH", "FLASH Page", "Voltage",
          "Algorithm", "Chip ID", "EEPROM", "EEPROM page", "Extend", "Delete", "Add", "Edit", "Save", "Quit"}},
    };
    return table[languageIndex];
}

}  // namespace

TForm2::TForm2(Workbench& workbench, OperationHost& host, QWidget* parent)
    : QDialog(parent),
      ui(std::make_unique<Ui::TForm2>()),
      workbench_(workbench),
      host_(host),
      databasePath_(ChipDatabaseFile::pathFor(RunningExecutable::path()))
{
    ui->setupUi(this);
    setFixedSize(880, 442);

    QTableWidget* grid = ui->StringGrid1;
    grid->setColumnCount(ChipRow::ColumnCount);
    QStringList headings;
    for (const char* heading : ChipRow::headings())
        headings << QString::fromUtf8(heading);
    grid->setHorizontalHeaderLabels(headings);
    for (int column : {3, 4, 5, 6, 7, 8, 9, 11, 12})
        grid->setColumnWidth(column, 60);

    setItems(ui->ComboBox4, ChipEditorModel::classTexts());
    setItems(ui->ComboBox5, ChipEditorModel::flashTexts());
    setItems(ui->ComboBox6, ChipEditorModel::pageTexts());
    setItems(ui->ComboBox7, ChipEditorModel::voltageTexts());
    setItems(ui->ComboBox8, ChipEditorModel::initialAlgorithmTexts());
    setItems(ui->ComboBox10, ChipEditorModel::eepromTexts());
    setItems(ui->ComboBox11, ChipEditorModel::pageTexts());
    setItems(ui->ComboBox12, ChipEditorModel::extendTexts());
    // The controls start as a new 25-series row would: no class and no
    // algorithm chosen yet, but their first texts showing.
    writeControls(ChipEditorControls{});
    ui->ComboBox4->setPlaceholderText(QString::fromStdString(ChipEditorModel::classTexts().front()));
    ui->ComboBox8->setPlaceholderText(QString::fromStdString(ChipEditorModel::initialAlgorithmTexts().front()));
    setItems(ui->ComboBox8, ChipEditorModel::initialAlgorithmTexts());
    ui->ComboBox8->setCurrentIndex(-1);

    connect(grid, &QTableWidget::currentCellChanged, this, [this](int row) { StringGrid1SelectCell(row); });
    connect(grid, &QTableWidget::cellDoubleClicked, this, &TForm2::StringGrid1DblClick);
    connect(ui->ComboBox4, &QComboBox::activated, this, &TForm2::ComboBox4Change);
    connect(ui->BtnAdd, &QPushButton::clicked, this, &TForm2::BtnAddClick);
    connect(ui->BtnEdit, &QPushButton::clicked, this, &TForm2::BtnEditClick);
    connect(ui->BtnDelete, &QPushButton::clicked, this, &TForm2::BtnDeleteClick);
    connect(ui->BtnSave, &QPushButton::clicked, this, &TForm2::BtnSaveClick);
    connect(ui->BtnExit, &QPushButton::clicked, this, &QDialog::reject);
}

TForm2::~TForm2() = default;

void TForm2::ApplyLanguage(int languageIndex)
{
    if (languageIndex < 0 || languageIndex > 2)
        return;
    const char* const* texts = captions(languageIndex).texts;
    setWindowTitle(QString::fromUtf8(texts[0]));
    ui->GroupBox1->setTitle(QString::fromUtf8(texts[1]));
    int next = 2;
    QLabel* labels[] = {ui->Label1, ui->Label2, ui->Label3,  ui->Label4,  ui->Label5,  ui->Label6, ui->Label7,
                        ui->Label8, ui->Label9, ui->Label10, ui->Label11, ui->Label12, ui->Label13};
    for (QLabel* label : labels)
        label->setText(QString::fromUtf8(texts[next++]));
    QPushButton* buttons[] = {ui->BtnDelete, ui->BtnAdd, ui->BtnEdit, ui->BtnSave, ui->BtnExit};
    for (QPushButton* button : buttons)
        button->setText(QString::fromUtf8(texts[next++]));
}

void TForm2::setDatabasePath(const std::string& path)
{
    databasePath_ = path;
}

void TForm2::showEvent(QShowEvent* event)
{
    model_.reload(workbench_.catalogue, host_, databasePath_, workbench_.languageIndex);
    showRows();
    showNameChoices();
    QDialog::showEvent(event);
}

void TForm2::showRows()
{
    QTableWidget* grid = ui->StringGrid1;
    // The selected row is what the user picked; refilling the grid moves the
    // highlight without reporting it.
    const QSignalBlocker blocker(grid);
    grid->setRowCount(static_cast<int>(model_.rows.size()));
    for (size_t r = 0; r < model_.rows.size(); ++r) {
        for (int column = 0; column < ChipRow::ColumnCount; ++column) {
            grid->setItem(static_cast<int>(r), column,
                          new QTableWidgetItem(QString::fromStdString(model_.rows[r].cells[column])));
        }
    }
    const int current = model_.selectedRow > 0 ? model_.selectedRow - 1 : 0;
    if (!model_.rows.empty())
        grid->setCurrentCell(std::min(current, grid->rowCount() - 1), 0);
}

void TForm2::showNameChoices()
{
    QComboBox* boxes[] = {ui->ComboBox1, ui->ComboBox2, ui->ComboBox3};
    const std::vector<std::string>* lists[] = {&model_.typeChoices, &model_.manufacturerChoices, &model_.nameChoices};
    for (int i = 0; i < 3; ++i) {
        setItems(boxes[i], *lists[i]);
        boxes[i]->setCurrentIndex(boxes[i]->count() > 0 ? 0 : -1);
    }
}

void TForm2::fillAlgorithmList(int classPosition)
{
    ui->ComboBox8->setPlaceholderText(QString());
    setItems(ui->ComboBox8, ChipEditorModel::algorithmTexts(classPosition));
    ui->ComboBox8->setCurrentIndex(ui->ComboBox8->count() > 0 ? 0 : -1);
}

ChipEditorControls TForm2::readControls() const
{
    ChipEditorControls controls;
    controls.type = textOf(ui->ComboBox1);
    controls.manufacturer = textOf(ui->ComboBox2);
    controls.name = textOf(ui->ComboBox3);
    controls.delay = ui->Edit1->text().toStdString();
    controls.classPosition = ui->ComboBox4->currentIndex();
    controls.flashPosition = ui->ComboBox5->currentIndex();
    controls.flashPagePosition = ui->ComboBox6->currentIndex();
    controls.voltagePosition = ui->ComboBox7->currentIndex();
    controls.algorithmPosition = ui->ComboBox8->currentIndex();
    controls.chipId = textOf(ui->ComboBox9);
    controls.eepromPosition = ui->ComboBox10->currentIndex();
    controls.eepromPagePosition = ui->ComboBox11->currentIndex();
    controls.extend = textOf(ui->ComboBox12);
    return controls;
}

void TForm2::writeControls(const ChipEditorControls& controls)
{
    ui->ComboBox1->setEditText(QString::fromStdString(controls.type));
    ui->ComboBox2->setEditText(QString::fromStdString(controls.manufacturer));
    ui->ComboBox3->setEditText(QString::fromStdString(controls.name));
    ui->Edit1->setText(QString::fromStdString(controls.delay));
    ui->ComboBox4->setPlaceholderText(QString());
    ui->ComboBox4->setCurrentIndex(controls.classPosition);
    fillAlgorithmList(controls.classPosition);
    ui->ComboBox8->setCurrentIndex(controls.algorithmPosition);
    ui->ComboBox5->setCurrentIndex(controls.flashPosition);
    ui->ComboBox6->setCurrentIndex(controls.flashPagePosition);
    ui->ComboBox7->setCurrentIndex(controls.voltagePosition);
    ui->ComboBox9->setEditText(QString::fromStdString(controls.chipId));
    ui->ComboBox10->setCurrentIndex(controls.eepromPosition);
    ui->ComboBox11->setCurrentIndex(controls.eepromPagePosition);
    ui->ComboBox12->setEditText(QString::fromStdString(controls.extend));
}

void TForm2::StringGrid1SelectCell(int row)
{
    if (row >= 0)
        model_.selectedRow = row + 1;
}

void TForm2::StringGrid1DblClick()
{
    ChipEditorControls controls = readControls();
    const std::string error = model_.copySelectedRow(controls);
    if (!error.empty()) {
        host_.errorBox(error);
        return;
    }
    writeControls(controls);
}

void TForm2::ComboBox4Change()
{
    fillAlgorithmList(ui->ComboBox4->currentIndex());
}

void TForm2::BtnAddClick()
{
    model_.add(readControls());
    showRows();
}

void TForm2::BtnEditClick()
{
    model_.edit(readControls());
    showRows();
}

void TForm2::BtnDeleteClick()
{
    model_.remove(ui->StringGrid1->currentRow() + 1);
    showRows();
}

void TForm2::BtnSaveClick()
{
    // The records are what a running operation or a production run reads,
    // and a locked job's chip.
    if (RefusedWhileHeld(workbench_, host_))
        return;
    model_.save(workbench_.catalogue, host_, databasePath_, workbench_.languageIndex);
}
