// Pictures of the bench work for the documentation, in the three languages:
// the window after each mend (with the box it shows) and every bench dialog.
// Runs only when BELCOR_SCREENSHOT_DIR names the folder of the pictures; these
// go to its bench/ folder.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <fstream>

#include "app/BenchWindow.h"
#include "app/Screenshots.h"
#include "support/CaseName.h"
#include "app/BenchMenu.h"
#include "app/StatusRegisterDialog.h"
#include "buffers/ui/ChecksumDialog.h"
#include "buffers/ui/CompareDialog.h"
#include "buffers/ui/FindDialog.h"
#include "buffers/ui/GoToAddressDialog.h"
#include "hexview/HexView.h"

namespace {

class BenchScreenshots : public BenchWindow, public testing::WithParamInterface<int> {
protected:
    void SetUp() override
    {
        folder = screenshotFolder("bench");
        if (folder.isEmpty())
            GTEST_SKIP() << "BELCOR_SCREENSHOT_DIR is not set";
        QDir().mkpath(folder);
        BenchWindow::SetUp();
    }

    QString file(const QString& name) const
    {
        return folder + "/" + name + languageSuffix(GetParam()) + ".png";
    }

    // The window with `overlay` (a box or dialog) drawn where it would stand.
    void shoot(const QString& name, QWidget* overlay = nullptr)
    {
        QPixmap picture = window->grab();
        if (overlay != nullptr) {
            const QPixmap front = overlay->grab();
            QPainter painter(&picture);
            const QPoint at((picture.width() - front.width()) / 2, (picture.height() - front.height()) / 2);
            painter.fillRect(QRect(at, front.size()).adjusted(-2, -2, 2, 2), Qt::darkGray);
            painter.drawPixmap(at, front);
        }
        picture.save(file(name));
    }

    // Shoots the window under the next message box, then answers it.
    void shootNextBox(const QString& name, QMessageBox::StandardButton answer = QMessageBox::No)
    {
        auto* timer = new QTimer;
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, [this, timer, name, answer] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                // A nested event loop would keep a merely deleted-later timer firing.
            timer->stop();
            timer->deleteLater();
                shoot(name, box);
                box->done(box->standardButtons() & answer ? answer : QMessageBox::Ok);
            }
        });
        timer->start();
    }

    void typeAt(uint32_t address, const QString& digits)
    {
        window->ui.FlashEditor->setFocus();
        window->ui.FlashEditor->setCursorPosition(address);
        typeKeys(window->ui.FlashEditor, digits);
    }

    QString folder;
};

TEST_P(BenchScreenshots, MendsAndDialogs)
{
    TForm1& form = open(GetParam());
    form.resize(1000, 640);
    settle();

    // Typed bytes reach Verify.
    typeAt(0, "AA55");
    shootNextBox("verify-sees-edits");
    form.ui.ToolVerify->click();

    // Another chip (the next maker's first) while the buffer holds edits.
    typeAt(0x10, "12");
    shootNextBox("chip-change-asks");
    form.ui.ComboBox2->setFocus();
    QTest::keyClick(form.ui.ComboBox2, Qt::Key_Down);

    // Closing with edits.
    shootNextBox("close-asks");
    form.close();

    // The Open dialog's filters.
    inNextDialog<QFileDialog>([this](QFileDialog& dialog) {
        dialog.resize(640, 400);
        shoot("open-filters", &dialog);
    });
    form.ui.ToolOpen->click();

    // Unplugged mid-read.
    belcor_sim_inject_fault(BELCOR_SIM_UNPLUG, 40);
    shootNextBox("read-unplugged", QMessageBox::Ok);
    form.ui.ToolRead->click();
    belcor_sim_set_plugged(1);

    // An empty socket.
    belcor_sim_remove_chip();
    shootNextBox("read-empty-socket", QMessageBox::Ok);
    form.ui.ToolRead->click();

    // The bench dialogs over a buffer with something to find.
    uint8_t* flash = form.workbench().buffers.flash();
    for (uint32_t i = 0; i < ChipSize; ++i)
        flash[i] = uint8_t(i * 7);
    std::memcpy(flash + 0x1230, "BELCOR", 6);
    form.host().flashBufferChanged(ChipSize);
    form.workbench().buffers.unsaved = false;
    BenchMenu& bench = *form.Bench();

    bench.goToDialog()->addressField()->setText("1FFF0");
    bench.goToDialog()->show();
    shoot("dialog-go-to-address", bench.goToDialog());
    bench.goToDialog()->accept();

    form.ui.FlashEditor->setCursorPosition(0);
    bench.findDialog()->textOption()->setChecked(true);
    bench.findDialog()->patternField()->setText("BELCOR");
    bench.findDialog()->findNext();
    bench.findDialog()->show();
    shoot("dialog-find", bench.findDialog());
    bench.findDialog()->hide();

    ChecksumDialog& sums = *bench.checksumDialog();
    sums.setSpan(ChecksumDialog::Span::Buffer);
    sums.calculate();
    sums.show();
    shoot("dialog-checksums", &sums);
    sums.hide();

    std::vector<uint8_t> other(flash, flash + ChipSize);
    for (uint32_t at : {0x40u, 0x41u, 0x1234u, 0x8000u})
        other[at] ^= 0xFF;
    std::ofstream(path("other.bin").toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(other.data()), std::streamsize(other.size()));
    CompareDialog& compare = *bench.compareDialog();
    compare.compareWith(path("other.bin").toStdString());
    compare.show();
    shoot("dialog-compare", &compare);
    compare.hide();

    // The status register of a chip seated again, with protection set.
    const belcor_sim_chip seated{0, 0x373011, ChipSize, 256};
    belcor_sim_seat_chip(&seated);
    belcor_sim_chip_set_status(0x9C);
    StatusRegisterDialog& status = *bench.statusRegisterDialog();
    status.readRegister();
    status.show();
    status.adjustSize();
    shoot("dialog-status-register", &status);
    status.hide();

    form.ui.FlashEditor->select(0x1230, 6);
    bench.contextMenu()->popup(form.mapToGlobal(QPoint(400, 300)));
    settle();
    shoot("menu-context", bench.contextMenu());
    bench.contextMenu()->hide();
    bench.popup(form.mapToGlobal(QPoint(100, 30)));
    settle();
    shoot("menu-tools", &bench);
    bench.hide();
}

INSTANTIATE_TEST_SUITE_P(Languages, BenchScreenshots, testing::Values(0, 1, 2),
                         [](const auto& info) { return LanguageCaseName(info.param); });

}  // namespace
