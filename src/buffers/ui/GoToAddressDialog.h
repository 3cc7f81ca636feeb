#pragma once

#include <QDialog>

class HexView;
class OperationHost;
class QDialogButtonBox;
class QLabel;
class QLineEdit;

// Go to address: a hexadecimal address typed in moves the caret of the FLASH
// view there and scrolls its row into sight. An address past the view's last
// byte is refused with a message and the dialog stays open.
class GoToAddressDialog : public QDialog {
    Q_OBJECT
public:
    GoToAddressDialog(HexView& view, OperationHost& host, QWidget* parent = nullptr);

    void ApplyLanguage(int language);
    QLineEdit* addressField() const { return field_; }

    void accept() override;

private:
    HexView& view_;
    OperationHost& host_;
    int language_ = 0;
    QLabel* label_;
    QLineEdit* field_;
    QDialogButtonBox* buttons_;
};
