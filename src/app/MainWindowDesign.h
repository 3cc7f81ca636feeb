#pragma once

#include <QIcon>
#include <array>

class HexView;
class PanelStatusBar;
class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTextEdit;
class QToolBar;
class QToolButton;
class QWidget;

// The controls of the main window as designed, before any behaviour is
// attached: the tool bar, menus, chip column, tabbed hex views, options bar,
// log pane and status bar. Captions are the design's Simplified Chinese ones
// until the language is applied. Every control carries its component name as
// its object name.
struct MainWindowDesign {
    void setupUi(QMainWindow* window);

    // The tool bar's pictures, by image index (index 2 is not used).
    static QIcon toolImage(int index);

    QToolBar* ToolBar1;
    QToolButton* ToolOpen;
    QToolButton* ToolSave;
    QToolButton* ToolFill;
    QToolButton* ToolBank;
    QToolButton* ToolAuto;
    QToolButton* ToolErase;
    QToolButton* ToolWrite;
    QToolButton* ToolRead;
    QToolButton* ToolVerify;
    QToolButton* ToolBulk;
    QToolButton* ToolDevice;
    QToolButton* ToolAbout;
    QAction* ToolDeviceAction;  // the tool bar's slot of ToolDevice, for hiding it

    QMenu* O1;
    QAction* O2;
    QAction* S1;
    QAction* Q1;
    QMenu* Buff;
    QAction* Fill;
    QMenu* O3;
    QAction* A1;
    QAction* E1;
    QAction* W1;
    QAction* R1;
    QAction* V1;
    QAction* N7;
    QAction* N3;
    QAction* N4;
    QMenu* L1;
    QAction* China;
    QAction* fanti;
    QAction* Enlish;
    QActionGroup* languageGroup;
    QMenu* H1;
    QAction* N5;

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QComboBox* ComboBox1;
    QComboBox* ComboBox2;
    QComboBox* ComboBox3;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QLineEdit* Edit5;
    QWidget* PicturePanel;
    QLabel* Image1;
    QLabel* Label9;

    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QWidget* TabSheet2;
    QWidget* TabSheet3;
    HexView* FlashEditor;
    HexView* EepromEditor;

    QGroupBox* GroupBox4;
    QCheckBox* CheckBox5;
    QLabel* Label7;
    QLabel* Label8;
    QLineEdit* Edit3;
    QLineEdit* Edit4;
    QGroupBox* GroupBox2;
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;
    QCheckBox* CheckBox3;
    QGroupBox* GroupBox3;
    QCheckBox* CheckBox4;

    QTextEdit* RichEdit1;

    PanelStatusBar* StatusBar1;
    QProgressBar* Progress;
    QProgressBar* Progress2;
};
