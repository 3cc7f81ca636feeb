#include "buffers/ui/GoToAddressDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "buffers/HexText.h"
#include "buffers/ui/BenchText.h"
#include "core/OperationHost.h"
#include "hexview/HexView.h"

GoToAddressDialog::GoToAddressDialog(HexView& view, OperationHost& host, QWidget* parent)
    : QDialog(parent), view_(view), host_(host)
{
    setObjectName("GoToAddressDialog");
    label_ = new QLabel(this);
    field_ = new QLineEdit(this);
    field_->setObjectName("address");
    // A validator rather than the range fields' key filter: Return must still
    // reach the dialog's default button.
    field_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9A-Fa-f]{1,8}"), field_));
    label_->setBuddy(field_);
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label_);
    layout->addWidget(field_);
    layout->addWidget(buttons_);
    ApplyLanguage(0);
}

void GoToAddressDialog::ApplyLanguage(int language)
{
    language_ = language;
    setWindowTitle(benchText(Msg::GoToTitle, language));
    label_->setText(benchText(Msg::AddressLabel, language));
}

void GoToAddressDialog::accept()
{
    const QString text = field_->text().trimmed();
    const HexConversion address = ConvertHexText(text.toStdString());
    if (text.isEmpty() || !address.ok()) {
        host_.errorBox(MessageCatalogue::format(Msg::NotHexAddress, language_, {text.toStdString()}));
        return;
    }
    const auto position = static_cast<uint32_t>(address.value);
    if (position >= view_.byteCount()) {
        const uint32_t last = view_.byteCount() == 0 ? 0 : view_.byteCount() - 1;
        host_.errorBox(
            MessageCatalogue::format(Msg::AddressOutside, language_, {HexFieldText(position), HexFieldText(last)}));
        return;
    }
    view_.setCursorPosition(position);
    view_.setFocus();
    QDialog::accept();
}
