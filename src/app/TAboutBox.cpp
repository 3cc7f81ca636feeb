#include "app/TAboutBox.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    Q_INIT_RESOURCE(belcor);
    setObjectName("TAboutBox");
    setWindowTitle("About");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    auto* panel = new QFrame(this);
    panel->setObjectName("Panel1");
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);

    auto* picture = new QLabel(panel);
    picture->setObjectName("ProgramIcon");
    picture->setPixmap(QIcon(":/images/belcor.svg").pixmap(64, 64));
    picture->setCursor(Qt::PointingHandCursor);

    productName_ = new QLabel("Belcor高速编程器", panel);
    productName_->setObjectName("ProductName");
    QFont bold = productName_->font();
    bold.setBold(true);
    productName_->setFont(bold);

    auto* version = new QLabel("Version:1.24", panel);
    version->setObjectName("Version");

    copyright_ = new QLabel(panel);
    copyright_->setObjectName("Copyright");

    link_ = new QLabel("https://www.belcor.example", panel);
    link_->setObjectName("Comments");
    QFont linkFont = link_->font();
    linkFont.setPixelSize(16);
    link_->setFont(linkFont);
    link_->setStyleSheet("color: blue;");
    link_->setCursor(Qt::PointingHandCursor);
    link_->installEventFilter(this);

    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(16, 12, 16, 12);
    panelLayout->setSpacing(8);
    for (QLabel* label : {picture, productName_, version, copyright_, link_}) {
        label->setAlignment(Qt::AlignCenter);
        panelLayout->addWidget(label);
    }

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("OKButton");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TAboutBox::OpenLinkClick()
{
    QDesktopServices::openUrl(QUrl(link_->text()));
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == link_ && event->type() == QEvent::MouseButtonRelease)
        OpenLinkClick();
    return QDialog::eventFilter(watched, event);
}
