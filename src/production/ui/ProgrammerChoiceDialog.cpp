#include "production/ui/ProgrammerChoiceDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "core/MessageCatalogue.h"

ProgrammerChoiceDialog::ProgrammerChoiceDialog(const std::vector<std::string>& programmers, int language,
                                               QWidget* parent)
    : QDialog(parent)
{
    setObjectName("ProgrammerChoice");
    setWindowTitle(QString::fromStdString(MessageCatalogue::text(Msg::AddProgrammersButton, language)));
    prompt_ = new QLabel(QString::fromStdString(MessageCatalogue::text(Msg::ChooseProgrammersPrompt, language)), this);
    prompt_->setWordWrap(true);
    list_ = new QListWidget(this);
    list_->setObjectName("ProgrammerList");
    for (const std::string& programmer : programmers) {
        auto* item = new QListWidgetItem(QString::fromStdString(programmer), list_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    // OK and Cancel in the window's language through Qt's own translations.
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt_);
    layout->addWidget(list_);
    layout->addWidget(buttons);
}

std::vector<std::string> ProgrammerChoiceDialog::chosen() const
{
    std::vector<std::string> ticked;
    for (int row = 0; row < list_->count(); ++row) {
        if (list_->item(row)->checkState() == Qt::Checked)
            ticked.push_back(list_->item(row)->text().toStdString());
    }
    return ticked;
}
