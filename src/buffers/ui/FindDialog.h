#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>
#include <vector>

struct Workbench;
class HexView;
class OperationHost;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Find in the FLASH view: hex bytes or text, forward or backward from the
// caret, over the whole buffer. A match is selected and scrolled into view;
// the dialog keeps the pattern, so Find next and Find previous repeat it
// without opening the dialog again.
class FindDialog : public QDialog {
    Q_OBJECT
public:
    FindDialog(HexView& view, Workbench& workbench, OperationHost& host, QWidget* parent = nullptr);

    void ApplyLanguage(int language);

    // The pattern as typed; false (after a message) when there is none or it
    // is not valid. Both search from the caret, or from the selection (a
    // previous match) so that repeating moves on.
    bool findNext();
    bool findPrevious();

    QLineEdit* patternField() const { return field_; }
    QRadioButton* hexOption() const { return hex_; }
    QRadioButton* textOption() const { return text_; }

private:
    bool find(bool forward);
    std::optional<std::vector<uint8_t>> pattern();

    HexView& view_;
    Workbench& workbench_;
    OperationHost& host_;
    int language_ = 0;
    QLineEdit* field_;
    QRadioButton* hex_;
    QRadioButton* text_;
    QPushButton* next_;
    QPushButton* previous_;
    QPushButton* close_;
};
