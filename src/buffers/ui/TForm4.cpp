#include "buffers/ui/TForm4.h"

#include <array>
#include <ctime>

#include "buffers/BufferCommands.h"
#include "buffers/HexText.h"
#include "buffers/ui/HexFieldFilter.h"
#include "ui_TForm4.h"

namespace {

// Captions in Simplified Chinese, Traditional Chinese and English.
using Captions = std::array<const char*, 3>;

struct CaptionRow {
    const char* objectName;
    Captions texts;
};

const CaptionRow CaptionRows[] = {
    {"TForm4", {"填充", "填充", "Fill"}},
    {"GroupBox1", {"数据", "數據", "Data"}},
    {"RadioButton1", {"常量字节(8bits)", "常量字節(8bits)", "Byte(8bits)"}},
    {"RadioButton2", {"常量字(16bits)", "常量字(16bits)", "Word(16bits)"}},
    {"RadioButton3", {"随机数", "隨機數", "Random"}},
    {"GroupBox2", {"范围", "範圍", "Range"}},
    {"Label1", {"开始地址", "開始地址", "Start ADDR"}},
    {"Label2", {"结束地址", "結束地址", "End ADDR"}},
    {"BitBtn1", {"确定", "確定", "OK"}},
    {"BitBtn2", {"取消", "取消", "Cance"}},
};

}  // namespace

TForm4::TForm4(Workbench& workbench, OperationHost& host, QWidget* parent)
    : QDialog(parent), workbench_(workbench), host_(host), ui_(std::make_unique<Ui::TForm4>())
{
    ui_->setupUi(this);
    for (QLineEdit* field : {ui_->Edit1, ui_->Edit2, ui_->Edit3, ui_->Edit4})
        HexFieldFilter::install(field);
    connect(ui_->BitBtn1, &QPushButton::clicked, this, &TForm4::fill);
    connect(ui_->BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

TForm4::~TForm4() = default;

void TForm4::ApplyLanguage(int languageIndex)
{
    if (languageIndex < 0 || languageIndex > 2)
        return;
    for (const CaptionRow& row : CaptionRows) {
        const QString text = QString::fromUtf8(row.texts[static_cast<size_t>(languageIndex)]);
        QWidget* widget = objectName() == row.objectName ? this : findChild<QWidget*>(row.objectName);
        if (widget == this)
            setWindowTitle(text);
        else if (auto* group = qobject_cast<QGroupBox*>(widget))
            group->setTitle(text);
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            button->setText(text);
        else if (auto* label = qobject_cast<QLabel*>(widget))
            label->setText(text);
    }
}

void TForm4::resetEndAddress(uint32_t flashSize)
{
    ui_->Edit4->setText(QString::fromStdString(HexFieldText(flashSize - 1)));
}

void TForm4::fill()
{
    FillRequest request;
    request.mode = ui_->RadioButton2->isChecked()   ? FillMode::Word
                   : ui_->RadioButton3->isChecked() ? FillMode::Random
                                                    : FillMode::Byte;
    request.byteText = ui_->Edit1->text().toStdString();
    request.wordText = ui_->Edit2->text().toStdString();
    request.startText = ui_->Edit3->text().toStdString();
    request.endText = ui_->Edit4->text().toStdString();
    request.randomSeed = static_cast<uint32_t>(std::time(nullptr));
    FillBuffer(workbench_, host_, request);
}
