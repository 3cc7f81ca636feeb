#pragma once

#include <QMenu>

struct MainWindowDesign;
struct Workbench;
class ChecksumDialog;
class CompareDialog;
class CursorReadout;
class FindDialog;
class GoToAddressDialog;
class OperationHost;
class StatusRegisterDialog;

// The Tools menu of the FLASH view: Go to address (Ctrl+G), Find (Ctrl+F),
// Find next (F3), Find previous (Shift+F3), Checksums, Compare with file and
// a serial flash's status register;
// the view's context menu (copy as hex text or as a C array, selection to a
// file); the cursor readout under the view; and the shortcuts of the
// window's own commands (Ctrl+O, Ctrl+S, F2 Detect, F4 Read, F5 Blank check,
// F6 Erase, F7 Write, F8 Verify, F9 AUTO). Every command is refused with a
// beep while an operation runs.
class BenchMenu : public QMenu {
    Q_OBJECT
public:
    // Copying more than this much of the view as text is refused.
    static constexpr uint32_t LargestTextCopy = 16u << 20;

    BenchMenu(MainWindowDesign& ui, Workbench& workbench, OperationHost& host, QWidget* window);

    void ApplyLanguage(int language);

    void GoToAddressClick();
    void FindClick();
    void FindNextClick();
    void FindPreviousClick();
    void ChecksumsClick();
    void CompareClick();
    void StatusRegisterClick();
    void CopyHexClick();
    void CopyCArrayClick();
    void SaveSelectionClick();

    // The view's context menu, built afresh for its current selection.
    QMenu* contextMenu() const { return contextMenu_; }
    GoToAddressDialog* goToDialog() const { return goTo_; }
    FindDialog* findDialog() const { return find_; }
    ChecksumDialog* checksumDialog() const { return checksums_; }
    CompareDialog* compareDialog() const { return compare_; }
    StatusRegisterDialog* statusRegisterDialog() const { return statusRegister_; }
    CursorReadout* readout() const { return readout_; }

    QAction* goToAction;
    QAction* findAction;
    QAction* findNextAction;
    QAction* findPreviousAction;
    QAction* checksumsAction;
    QAction* compareAction;
    QAction* statusRegisterAction;
    QAction* detectAction;  // in the Operation menu, for its shortcut
    QAction* copyHexAction;
    QAction* copyCArrayAction;
    QAction* saveSelectionAction;

private:
    bool refusedWhileBusy();
    uint32_t selectionLength() const;
    // A selection to copy as text, and not too long for it (else a message).
    bool textCopyAllowed();
    void installShortcuts();

    MainWindowDesign& ui_;
    Workbench& workbench_;
    OperationHost& host_;
    int language_ = 0;
    QMenu* contextMenu_;
    GoToAddressDialog* goTo_;
    FindDialog* find_;
    ChecksumDialog* checksums_;
    CompareDialog* compare_;
    StatusRegisterDialog* statusRegister_;
    CursorReadout* readout_;
};
