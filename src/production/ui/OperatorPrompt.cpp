#include "production/ui/OperatorPrompt.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/MessageCatalogue.h"
#include "core/OwnSettings.h"

namespace {

QString qText(const std::string& text)
{
    return QString::fromStdString(text);
}

constexpr const char* Section = "production";
constexpr const char* Key = "operator";

}  // namespace

std::optional<std::string> OperatorPrompt::ask(OwnSettings& remembered, bool required, int language, QWidget* parent)
{
    OperatorPrompt prompt(remembered.value(Section, Key).value_or(std::string()), required, language, parent);
    if (prompt.exec() != QDialog::Accepted)
        return std::nullopt;
    const std::string name = prompt.name();
    remembered.setValue(Section, Key, name);
    return name;
}

OperatorPrompt::OperatorPrompt(const std::string& offered, bool required, int language, QWidget* parent)
    : QDialog(parent), required_(required)
{
    setObjectName("OperatorPrompt");
    setWindowTitle(qText(MessageCatalogue::text(Msg::OperatorTitle, language)));
    auto* question = new QLabel(qText(MessageCatalogue::text(
                                    required ? Msg::OperatorRequiredQuestion : Msg::OperatorQuestion, language)),
                                this);
    question->setWordWrap(true);
    entry_ = new QLineEdit(qText(offered), this);
    entry_->setObjectName("OperatorEntry");
    entry_->setMaxLength(LongestName);
    entry_->selectAll();
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons_->button(QDialogButtonBox::Ok)->setText(qText(MessageCatalogue::text(Msg::StartButton, language)));
    buttons_->button(QDialogButtonBox::Cancel)
        ->setText(qText(MessageCatalogue::text(Msg::EngineerPinCancel, language)));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(question);
    layout->addWidget(entry_);
    layout->addWidget(buttons_);
    setMinimumWidth(360);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(entry_, &QLineEdit::textChanged, this, &OperatorPrompt::refresh);
    refresh();
}

std::string OperatorPrompt::name() const
{
    return entry_->text().trimmed().toStdString();
}

void OperatorPrompt::refresh()
{
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(!required_ || !name().empty());
}
