#include "app/MainWindowDesign.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/PanelStatusBar.h"
#include "hexview/HexView.h"

namespace {

template <typename T>
T* named(T* object, const char* name)
{
    object->setObjectName(name);
    return object;
}

QToolButton* toolButton(QToolBar* bar, const char* name, int image, QAction** slot = nullptr)
{
    auto* button = named(new QToolButton(bar), name);
    button->setIcon(MainWindowDesign::toolImage(image));
    button->setIconSize(QSize(48, 48));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setFixedSize(55, 68);
    button->setAutoRaise(true);
    QAction* action = bar->addWidget(button);
    if (slot)
        *slot = action;
    return button;
}

void toolSeparator(QToolBar* bar)
{
    auto* gap = new QWidget(bar);
    gap->setFixedSize(8, 68);
    bar->addWidget(gap);
}

QLabel* label(QWidget* parent, const char* name, int x, int y)
{
    auto* result = named(new QLabel(parent), name);
    result->move(x, y);
    result->resize(150, 14);
    return result;
}

QComboBox* chipList(QWidget* parent, const char* name, int y)
{
    auto* list = named(new QComboBox(parent), name);
    list->setGeometry(10, y, 161, 21);
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    return list;
}

QLineEdit* detailField(QWidget* parent, const char* name, int y)
{
    auto* field = named(new QLineEdit(parent), name);
    field->setGeometry(84, y, 93, 21);
    field->setEnabled(false);
    return field;
}

QLineEdit* addressField(QWidget* parent, const char* name, const char* text)
{
    auto* field = named(new QLineEdit(text, parent), name);
    field->setFixedWidth(64);
    field->setEnabled(false);
    return field;
}

QGroupBox* optionGroup(QWidget* parent, const char* name)
{
    auto* group = named(new QGroupBox(parent), name);
    auto* layout = new QHBoxLayout(group);
    layout->setContentsMargins(4, 0, 4, 2);
    layout->setSpacing(4);
    return group;
}

QProgressBar* statusProgress(QWidget* parent, const char* name)
{
    auto* bar = named(new QProgressBar(parent), name);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

QFont pixelFont(const QString& family, int pixels)
{
    QFont font(family);
    font.setPixelSize(pixels);
    return font;
}

}  // namespace

QIcon MainWindowDesign::toolImage(int index)
{
    static const std::array<const char*, 13> files = {"open", "save", nullptr, "fill", "auto", "erase", "write",
                                                      "read", "verify", "bulk", "device", "about", "blank"};
    const char* file = index >= 0 && index < int(files.size()) ? files[size_t(index)] : nullptr;
    return file ? QIcon(QString(":/images/%1.svg").arg(file)) : QIcon();
}

void MainWindowDesign::setupUi(QMainWindow* window)
{
    // The pictures live in a static library; register them before use.
    Q_INIT_RESOURCE(belcor);
    window->setObjectName("TForm1");
    window->setFont(pixelFont("MS Sans Serif", 11));

    // Tool bar.
    ToolBar1 = named(new QToolBar(window), "ToolBar1");
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setFixedHeight(72);
    ToolBar1->setIconSize(QSize(48, 48));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    window->addToolBar(Qt::TopToolBarArea, ToolBar1);
    ToolOpen = toolButton(ToolBar1, "ToolOpen", 0);
    ToolSave = toolButton(ToolBar1, "ToolSave", 1);
    toolSeparator(ToolBar1);
    ToolFill = toolButton(ToolBar1, "ToolFill", 3);
    ToolBank = toolButton(ToolBar1, "ToolBank", 12);
    toolSeparator(ToolBar1);
    ToolAuto = toolButton(ToolBar1, "ToolAuto", 4);
    ToolErase = toolButton(ToolBar1, "ToolErase", 5);
    ToolWrite = toolButton(ToolBar1, "ToolWrite", 6);
    ToolRead = toolButton(ToolBar1, "ToolRead", 7);
    ToolVerify = toolButton(ToolBar1, "ToolVerify", 8);
    ToolBulk = toolButton(ToolBar1, "ToolBulk", 9);
    ToolBulk->setCheckable(true);
    toolSeparator(ToolBar1);
    ToolDevice = toolButton(ToolBar1, "ToolDevice", 10, &ToolDeviceAction);
    ToolDeviceAction->setVisible(false);
    ToolAbout = toolButton(ToolBar1, "ToolAbout", 11);

    // Menus.
    QMenuBar* bar = window->menuBar();
    O1 = named(bar->addMenu(QString()), "O1");
    O2 = named(O1->addAction(QString()), "O2");
    S1 = named(O1->addAction(QString()), "S1");
    O1->addSeparator();
    Q1 = named(O1->addAction(QString()), "Q1");
    Buff = named(bar->addMenu(QString()), "Buff");
    Fill = named(Buff->addAction(QString()), "Fill");
    O3 = named(bar->addMenu(QString()), "O3");
    A1 = named(O3->addAction(QString()), "A1");
    O3->addSeparator();
    E1 = named(O3->addAction(QString()), "E1");
    W1 = named(O3->addAction(QString()), "W1");
    R1 = named(O3->addAction(QString()), "R1");
    V1 = named(O3->addAction(QString()), "V1");
    N7 = named(O3->addAction(QString()), "N7");
    N3 = named(bar->addAction(QString()), "N3");
    N3->setVisible(false);
    N4 = named(bar->addAction(QString()), "N4");
    N4->setVisible(false);
    L1 = named(bar->addMenu(QString()), "L1");
    languageGroup = new QActionGroup(window);
    China = named(L1->addAction(QString()), "China");
    fanti = named(L1->addAction(QString()), "fanti");
    Enlish = named(L1->addAction(QString()), "Enlish");
    for (QAction* item : {China, fanti, Enlish}) {
        item->setCheckable(true);
        languageGroup->addAction(item);
    }
    China->setChecked(true);
    H1 = named(bar->addMenu(QString()), "H1");
    N5 = named(H1->addAction(QString()), "N5");

    auto* central = named(new QWidget(window), "Panel1");
    window->setCentralWidget(central);
    auto* columns = new QHBoxLayout(central);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(2);

    // Left column: chip group, details, picture.
    auto* left = named(new QWidget(central), "Panel2");
    left->setFixedWidth(185);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(2, 2, 2, 2);
    leftLayout->setSpacing(2);
    columns->addWidget(left);

    GroupBox1 = named(new QGroupBox(left), "GroupBox1");
    GroupBox1->setFixedHeight(176);
    Label1 = label(GroupBox1, "Label1", 10, 18);
    ComboBox1 = chipList(GroupBox1, "ComboBox1", 32);
    Label2 = label(GroupBox1, "Label2", 10, 56);
    ComboBox2 = chipList(GroupBox1, "ComboBox2", 70);
    Label3 = label(GroupBox1, "Label3", 10, 94);
    ComboBox3 = chipList(GroupBox1, "ComboBox3", 108);
    BitBtn1 = named(new QPushButton(GroupBox1), "BitBtn1");
    BitBtn1->setGeometry(10, 140, 76, 28);
    BitBtn2 = named(new QPushButton(GroupBox1), "BitBtn2");
    BitBtn2->setGeometry(95, 140, 76, 28);
    leftLayout->addWidget(GroupBox1);

    auto* details = named(new QFrame(left), "Panel3");
    details->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    details->setFixedHeight(88);
    Label4 = label(details, "Label4", 8, 9);
    Edit1 = detailField(details, "Edit1", 5);
    Label5 = label(details, "Label5", 8, 36);
    Edit2 = detailField(details, "Edit2", 32);
    Label6 = label(details, "Label6", 8, 63);
    Edit5 = detailField(details, "Edit5", 59);
    for (QLabel* caption : {Label4, Label5, Label6})
        caption->resize(74, 14);
    leftLayout->addWidget(details);

    PicturePanel = named(new QFrame(left), "Panel4");
    static_cast<QFrame*>(PicturePanel)->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* pictureLayout = new QGridLayout(PicturePanel);
    pictureLayout->setContentsMargins(1, 1, 1, 1);
    Image1 = named(new QLabel(PicturePanel), "Image1");
    Image1->setScaledContents(true);
    Image1->setMinimumSize(1, 1);
    Image1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    Image1->setPixmap(QPixmap(":/images/J0.jpg"));
    pictureLayout->addWidget(Image1, 0, 0);
    Label9 = named(new QLabel("需配1.8V转换座", PicturePanel), "Label9");
    QFont notice = pixelFont(window->font().family(), 16);
    notice.setBold(true);
    Label9->setFont(notice);
    Label9->setStyleSheet("color: #ff0000; background: transparent;");
    Label9->setAlignment(Qt::AlignCenter);
    Label9->setVisible(false);
    pictureLayout->addWidget(Label9, 0, 0, Qt::AlignTop | Qt::AlignHCenter);
    leftLayout->addWidget(PicturePanel, 1);

    // Right area: tabbed hex views, options bar, log pane.
    auto* right = named(new QWidget(central), "Panel5");
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 2, 2, 2);
    rightLayout->setSpacing(2);
    columns->addWidget(right, 1);

    PageControl1 = named(new QTabWidget(right), "PageControl1");
    const QFont hexFont = pixelFont("Courier New", 15);
    TabSheet1 = named(new QWidget, "TabSheet1");
    FlashEditor = named(new HexView(TabSheet1), "FlashEditor");
    FlashEditor->setFont(hexFont);
    FlashEditor->setBytesPerGroup(1);
    FlashEditor->setRulerVisible(true);
    FlashEditor->setOffsetPrefix("00");
    (new QVBoxLayout(TabSheet1))->addWidget(FlashEditor);
    TabSheet2 = named(new QWidget, "TabSheet2");
    EepromEditor = named(new HexView(TabSheet2), "EepromEditor");
    EepromEditor->setFont(hexFont);
    EepromEditor->setBytesPerGroup(2);
    EepromEditor->setRulerVisible(false);
    EepromEditor->setOffsetPrefix("0x");
    (new QVBoxLayout(TabSheet2))->addWidget(EepromEditor);
    TabSheet3 = named(new QWidget, "TabSheet3");
    for (QWidget* sheet : {TabSheet1, TabSheet2, TabSheet3}) {
        if (sheet->layout())
            sheet->layout()->setContentsMargins(0, 0, 0, 0);
        PageControl1->addTab(sheet, QString());
    }
    rightLayout->addWidget(PageControl1, 1);

    auto* options = named(new QWidget(right), "Panel9");
    options->setFixedHeight(49);
    // A narrow window clips the option groups rather than refusing its stored width.
    options->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto* optionsLayout = new QHBoxLayout(options);
    optionsLayout->setContentsMargins(0, 0, 0, 0);
    GroupBox4 = optionGroup(options, "GroupBox4");
    CheckBox5 = named(new QCheckBox(GroupBox4), "CheckBox5");
    Label7 = named(new QLabel(GroupBox4), "Label7");
    Edit3 = addressField(GroupBox4, "Edit3", "0000");
    Label8 = named(new QLabel(GroupBox4), "Label8");
    Edit4 = addressField(GroupBox4, "Edit4", "FFFF");
    for (QWidget* control : std::initializer_list<QWidget*>{CheckBox5, Label7, Edit3, Label8, Edit4})
        GroupBox4->layout()->addWidget(control);
    optionsLayout->addWidget(GroupBox4);
    GroupBox2 = optionGroup(options, "GroupBox2");
    CheckBox1 = named(new QCheckBox(GroupBox2), "CheckBox1");
    CheckBox2 = named(new QCheckBox(GroupBox2), "CheckBox2");
    CheckBox3 = named(new QCheckBox(GroupBox2), "CheckBox3");
    for (QCheckBox* box : {CheckBox1, CheckBox2, CheckBox3}) {
        box->setChecked(true);
        GroupBox2->layout()->addWidget(box);
    }
    optionsLayout->addWidget(GroupBox2);
    // Memory selection has no use for the supported chip families; the group
    // stays in the design, hidden, with its captions kept up to date.
    GroupBox3 = optionGroup(options, "GroupBox3");
    CheckBox4 = named(new QCheckBox(GroupBox3), "CheckBox4");
    GroupBox3->layout()->addWidget(CheckBox4);
    GroupBox3->setVisible(false);
    optionsLayout->addWidget(GroupBox3);
    optionsLayout->addStretch(1);
    rightLayout->addWidget(options);

    RichEdit1 = named(new QTextEdit(right), "RichEdit1");
    RichEdit1->setFixedHeight(91);
    RichEdit1->setReadOnly(true);
    RichEdit1->setAcceptRichText(false);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setFont(pixelFont("MS Sans Serif", 13));
    rightLayout->addWidget(RichEdit1);

    // Status bar with the progress bars inside it.
    StatusBar1 = named(new PanelStatusBar({50, 120, 70, 75, 50}, window), "StatusBar1");
    StatusBar1->setFixedHeight(20);
    window->setStatusBar(StatusBar1);
    Progress = statusProgress(StatusBar1, "Progress");
    Progress2 = statusProgress(StatusBar1, "Progress2");
    Progress2->setVisible(false);
}
