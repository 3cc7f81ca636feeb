#pragma once

#include <QDialog>

class QLabel;

// The About box: program picture, product name, version, rights holder and
// the maker's web address, which opens in the default browser when clicked.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QLabel* ProductName() const { return productName_; }
    QLabel* Copyright() const { return copyright_; }

    // Opens the link label's own text with the system's handler for web addresses.
    void OpenLinkClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* productName_;
    QLabel* copyright_;
    QLabel* link_;
};
