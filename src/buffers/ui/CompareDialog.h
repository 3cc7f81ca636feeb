#pragma once

#include <QDialog>
#include <string>

struct Workbench;
class HexView;
class OperationHost;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The FLASH buffer (as the view shows it) compared with a file read by the
// load rules: the differing ranges with their sizes, a summary, and a double
// click on a range selects it in the view.
class CompareDialog : public QDialog {
    Q_OBJECT
public:
    CompareDialog(HexView& view, Workbench& workbench, OperationHost& host, QWidget* parent = nullptr);

    void ApplyLanguage(int language);
    // Fills the list; false (after the load's messages) when the file cannot be read.
    bool compareWith(const std::string& path);
    QTreeWidget* rangeList() const { return list_; }
    QString summaryText() const;
    void showRange(QTreeWidgetItem* item);

private:
    HexView& view_;
    Workbench& workbench_;
    OperationHost& host_;
    int language_ = 0;
    QLabel* summary_;
    QLabel* note_;
    QTreeWidget* list_;
    QPushButton* close_;
};
