#include "app/UpdateActions.h"

#include <QAction>
#include <QMenu>

#include "core/MessageCatalogue.h"
#include "core/Workbench.h"
#include "ops/UpdateOperations.h"

UpdateActions::UpdateActions(QMenu& operationMenu, Workbench& workbench, OperationHost& host,
                             std::function<void()> afterCommand, QObject* parent)
    : QObject(parent), workbench_(workbench), host_(host), afterCommand_(std::move(afterCommand))
{
    operationMenu.addSeparator();
    update_ = operationMenu.addAction(QString(), this, &UpdateActions::UpdateClick);
    update_->setObjectName("UpdateItem");
    update_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    verifyWholeSpan_ = operationMenu.addAction(QString());
    verifyWholeSpan_->setObjectName("UpdateVerifiesAll");
    verifyWholeSpan_->setCheckable(true);
    removeProtection_ = operationMenu.addAction(QString(), this, &UpdateActions::RemoveProtectionClick);
    removeProtection_->setObjectName("RemoveProtectionItem");
    ApplyLanguage(workbench.languageIndex);
}

void UpdateActions::ApplyLanguage(int languageIndex)
{
    const auto text = [languageIndex](Msg message) {
        return QString::fromStdString(MessageCatalogue::text(message, languageIndex));
    };
    update_->setText(text(Msg::UpdateMenuItem));
    verifyWholeSpan_->setText(text(Msg::UpdateVerifiesAllMenuItem));
    removeProtection_->setText(text(Msg::RemoveProtectionMenuItem));
}

void UpdateActions::UpdateClick()
{
    UpdateOptions options;
    options.verifyWholeSpan = verifyWholeSpan_->isChecked();
    RunUpdate(workbench_, host_, options);
    afterCommand_();
}

void UpdateActions::RemoveProtectionClick()
{
    RunRemoveProtection(workbench_, host_);
    afterCommand_();
}
