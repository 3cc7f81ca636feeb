#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QLabel;
class QListWidget;

// "Add attached programmers": the free programmers, each with a check box,
// all ticked at first; OK adds the ticked ones.
class ProgrammerChoiceDialog : public QDialog {
    Q_OBJECT
public:
    ProgrammerChoiceDialog(const std::vector<std::string>& programmers, int language, QWidget* parent);

    std::vector<std::string> chosen() const;

private:
    QLabel* prompt_;
    QListWidget* list_;
};
