#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "chips/ChipEditorModel.h"

struct Workbench;
class OperationHost;
class QComboBox;

namespace Ui {
class TForm2;
}

// The chip editor: every record of the chip database as a grid row, edit
// controls to add or overwrite rows, and saving back into the table and file.
// Every show reloads the file, so unsaved grid changes are dropped on close.
class TForm2 : public QDialog {
    Q_OBJECT

public:
    TForm2(Workbench& workbench, OperationHost& host, QWidget* parent = nullptr);
    ~TForm2() override;

    // Captions of the dialog, its group, labels and buttons; an index outside
    // 0..2 changes nothing. The grid's headings stay Chinese in every language.
    void ApplyLanguage(int languageIndex);

    // The database file; by default the executable's path with ".Dat".
    void setDatabasePath(const std::string& path);

    const ChipEditorModel& model() const { return model_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showRows();
    void showNameChoices();
    void fillAlgorithmList(int classPosition);
    ChipEditorControls readControls() const;
    void writeControls(const ChipEditorControls& controls);

    void StringGrid1SelectCell(int row);
    void StringGrid1DblClick();
    void ComboBox4Change();
    void BtnAddClick();
    void BtnEditClick();
    void BtnDeleteClick();
    void BtnSaveClick();

    std::unique_ptr<Ui::TForm2> ui;
    Workbench& workbench_;
    OperationHost& host_;
    ChipEditorModel model_;
    std::string databasePath_;
};
