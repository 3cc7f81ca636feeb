#pragma once

#include <QDialog>
#include <memory>

struct Workbench;
class OperationHost;

namespace Ui {
class TForm3;
}

// The chip search dialog: lists every record whose title contains the typed
// text and selects the chosen one in the main window's three lists.
class TForm3 : public QDialog {
    Q_OBJECT

public:
    TForm3(Workbench& workbench, OperationHost& host, QWidget* parent = nullptr);
    ~TForm3() override;

    // Caption, "Find" label and the two buttons in the given language; an
    // index outside 0..2 changes nothing.
    void ApplyLanguage(int languageIndex);

    // The list's three visible columns, or four with the hidden slot column.
    int columnCount() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setColumns(bool withSlot);
    void ComboBox1Change();
    void BitBtn1Click();

    std::unique_ptr<Ui::TForm3> ui;
    Workbench& workbench_;
    OperationHost& host_;
};
