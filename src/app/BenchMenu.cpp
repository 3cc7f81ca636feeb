#include "app/BenchMenu.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <vector>

#include "app/CursorReadout.h"
#include "app/MainWindowDesign.h"
#include "app/StatusRegisterDialog.h"
#include "buffers/BufferFiles.h"
#include "buffers/CArrayText.h"
#include "buffers/ui/BenchText.h"
#include "buffers/ui/ChecksumDialog.h"
#include "buffers/ui/CompareDialog.h"
#include "buffers/ui/FindDialog.h"
#include "buffers/ui/GoToAddressDialog.h"
#include "core/OperationHost.h"
#include "core/Workbench.h"
#include "hexview/HexView.h"

BenchMenu::BenchMenu(MainWindowDesign& ui, Workbench& workbench, OperationHost& host, QWidget* window)
    : QMenu(window), ui_(ui), workbench_(workbench), host_(host)
{
    setObjectName("BenchMenu");
    HexView& view = *ui_.FlashEditor;
    goTo_ = new GoToAddressDialog(view, host_, window);
    find_ = new FindDialog(view, workbench_, host_, window);
    checksums_ = new ChecksumDialog(view, workbench_, host_, window);
    compare_ = new CompareDialog(view, workbench_, host_, window);
    statusRegister_ = new StatusRegisterDialog(workbench_, host_, window);

    goToAction = addAction(QString(), QKeySequence(Qt::CTRL | Qt::Key_G), this, &BenchMenu::GoToAddressClick);
    addSeparator();
    findAction = addAction(QString(), QKeySequence::Find, this, &BenchMenu::FindClick);
    findNextAction = addAction(QString(), QKeySequence(Qt::Key_F3), this, &BenchMenu::FindNextClick);
    findPreviousAction =
        addAction(QString(), QKeySequence(Qt::SHIFT | Qt::Key_F3), this, &BenchMenu::FindPreviousClick);
    addSeparator();
    checksumsAction = addAction(QString(), this, &BenchMenu::ChecksumsClick);
    compareAction = addAction(QString(), this, &BenchMenu::CompareClick);
    addSeparator();
    statusRegisterAction = addAction(QString(), this, &BenchMenu::StatusRegisterClick);

    contextMenu_ = new QMenu(&view);
    copyHexAction = contextMenu_->addAction(QString(), this, &BenchMenu::CopyHexClick);
    copyCArrayAction = contextMenu_->addAction(QString(), this, &BenchMenu::CopyCArrayClick);
    contextMenu_->addSeparator();
    saveSelectionAction = contextMenu_->addAction(QString(), this, &BenchMenu::SaveSelectionClick);
    view.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&view, &QWidget::customContextMenuRequested, this, [this, &view](const QPoint& point) {
        const bool selected = view.hasSelection();
        for (QAction* action : {copyHexAction, copyCArrayAction, saveSelectionAction})
            action->setEnabled(selected);
        contextMenu_->popup(view.mapToGlobal(point));
    });

    readout_ = new CursorReadout(view, workbench_.buffers, ui_.TabSheet1);
    ui_.TabSheet1->layout()->addWidget(readout_);

    // Detect has only its button; a menu item carries its shortcut.
    detectAction = new QAction(ui_.O3);
    ui_.O3->insertAction(ui_.O3->actions().value(0), detectAction);
    connect(detectAction, &QAction::triggered, ui_.BitBtn1, &QPushButton::click);
    installShortcuts();

    window->findChild<QMenuBar*>()->insertMenu(ui_.O3->menuAction(), this);
    ApplyLanguage(0);
}

void BenchMenu::installShortcuts()
{
    ui_.O2->setShortcut(QKeySequence::Open);
    ui_.S1->setShortcut(QKeySequence::Save);
    detectAction->setShortcut(Qt::Key_F2);
    ui_.R1->setShortcut(Qt::Key_F4);
    ui_.N7->setShortcut(Qt::Key_F5);
    ui_.E1->setShortcut(Qt::Key_F6);
    ui_.W1->setShortcut(Qt::Key_F7);
    ui_.V1->setShortcut(Qt::Key_F8);
    ui_.A1->setShortcut(Qt::Key_F9);
}

void BenchMenu::ApplyLanguage(int language)
{
    language_ = language;
    setTitle(benchText(Msg::MenuTools, language));
    goToAction->setText(benchText(Msg::GoToAddressItem, language));
    findAction->setText(benchText(Msg::FindItem, language));
    findNextAction->setText(benchText(Msg::FindNextItem, language));
    findPreviousAction->setText(benchText(Msg::FindPreviousItem, language));
    checksumsAction->setText(benchText(Msg::ChecksumsItem, language));
    compareAction->setText(benchText(Msg::CompareItem, language));
    statusRegisterAction->setText(benchText(Msg::StatusRegisterItem, language));
    detectAction->setText(benchText(Msg::DetectItem, language));
    copyHexAction->setText(benchText(Msg::CopyHexItem, language));
    copyCArrayAction->setText(benchText(Msg::CopyCArrayItem, language));
    saveSelectionAction->setText(benchText(Msg::SaveSelectionItem, language));
    goTo_->ApplyLanguage(language);
    find_->ApplyLanguage(language);
    checksums_->ApplyLanguage(language);
    compare_->ApplyLanguage(language);
    statusRegister_->ApplyLanguage(language);
    readout_->ApplyLanguage(language);
}

bool BenchMenu::refusedWhileBusy()
{
    if (workbench_.busy)
        host_.beep();
    return workbench_.busy;
}

void BenchMenu::GoToAddressClick()
{
    if (refusedWhileBusy())
        return;
    ui_.PageControl1->setCurrentWidget(ui_.TabSheet1);
    goTo_->addressField()->selectAll();
    goTo_->exec();
}

void BenchMenu::FindClick()
{
    if (refusedWhileBusy())
        return;
    ui_.PageControl1->setCurrentWidget(ui_.TabSheet1);
    find_->patternField()->selectAll();
    find_->exec();
}

void BenchMenu::FindNextClick()
{
    if (refusedWhileBusy())
        return;
    if (find_->patternField()->text().isEmpty())
        FindClick();
    else
        find_->findNext();
}

void BenchMenu::FindPreviousClick()
{
    if (refusedWhileBusy())
        return;
    if (find_->patternField()->text().isEmpty())
        FindClick();
    else
        find_->findPrevious();
}

void BenchMenu::ChecksumsClick()
{
    if (refusedWhileBusy())
        return;
    checksums_->setSpan(ui_.FlashEditor->hasSelection() ? ChecksumDialog::Span::Selection
                                                        : ChecksumDialog::Span::Buffer);
    checksums_->exec();
}

void BenchMenu::CompareClick()
{
    if (refusedWhileBusy())
        return;
    const QString path = QFileDialog::getOpenFileName(parentWidget(), benchText(Msg::CompareTitle, language_),
                                                      QString(), OpenDialogFilter);
    if (path.isEmpty() || !compare_->compareWith(path.toStdString()))
        return;
    compare_->exec();
}

// The register is read as the window opens, so that it never shows a stale value.
void BenchMenu::StatusRegisterClick()
{
    if (refusedWhileBusy() || !statusRegister_->readRegister())
        return;
    statusRegister_->exec();
}

uint32_t BenchMenu::selectionLength() const
{
    const HexView& view = *ui_.FlashEditor;
    return std::min(view.selectionEnd(), view.byteCount()) - std::min(view.selectionStart(), view.byteCount());
}

bool BenchMenu::textCopyAllowed()
{
    const uint32_t count = selectionLength();
    if (count > LargestTextCopy) {
        // Three characters a byte as hex, six as a C array: hundreds of
        // megabytes on the clipboard help nobody.
        host_.errorBox(MessageCatalogue::format(Msg::CopyTooLarge, language_, {std::to_string(count)}));
        return false;
    }
    return count > 0;
}

void BenchMenu::CopyHexClick()
{
    if (textCopyAllowed())
        QApplication::clipboard()->setText(ui_.FlashEditor->selectedHexText());
}

void BenchMenu::CopyCArrayClick()
{
    if (!textCopyAllowed())
        return;
    std::vector<uint8_t> bytes(selectionLength());
    ui_.FlashEditor->copyOut(bytes.data(), ui_.FlashEditor->selectionStart(), uint32_t(bytes.size()));
    QApplication::clipboard()->setText(QString::fromStdString(CArrayText(bytes.data(), bytes.size())));
}

void BenchMenu::SaveSelectionClick()
{
    const HexView& view = *ui_.FlashEditor;
    if (refusedWhileBusy() || !view.hasSelection())
        return;
    QFileDialog dialog(parentWidget());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(SaveDialogFilter);
    dialog.setDefaultSuffix("bin");
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    std::vector<uint8_t> bytes(selectionLength());
    view.copyOut(bytes.data(), view.selectionStart(), uint32_t(bytes.size()));
    SaveBufferFile(dialog.selectedFiles().first().toStdString(), bytes.data(), uint32_t(bytes.size()), host_,
                   workbench_.languageIndex);
}
