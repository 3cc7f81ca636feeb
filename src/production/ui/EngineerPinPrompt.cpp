#include "production/ui/EngineerPinPrompt.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <chrono>

#include "core/MessageCatalogue.h"
#include "production/ProductionJob.h"
#include "production/ProductionText.h"

namespace {

QString qText(const std::string& text)
{
    return QString::fromStdString(text);
}

int64_t steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

PinThrottle& EngineerPinPrompt::throttle()
{
    static PinThrottle shared(steadyMs);
    return shared;
}

bool EngineerPinPrompt::confirm(const ProductionJob& job, int language, QWidget* parent)
{
    if (!job.pin)
        return true;
    EngineerPinPrompt prompt(*job.pin, job.name, language, parent);
    return prompt.exec() == QDialog::Accepted;
}

EngineerPinPrompt::EngineerPinPrompt(const EngineerPin& pin, const std::string& jobName, int language,
                                     QWidget* parent)
    : QDialog(parent), pin_(pin), language_(language)
{
    setObjectName("EngineerPinPrompt");
    setWindowTitle(qText(MessageCatalogue::text(Msg::EngineerPinTitle, language)));
    auto* question = new QLabel(qText(ProductionText(Msg::EngineerPinQuestion, language, {jobName})), this);
    question->setWordWrap(true);
    entry_ = new QLineEdit(this);
    entry_->setObjectName("PinEntry");
    entry_->setEchoMode(QLineEdit::Password);
    entry_->setMaxLength(static_cast<int>(EngineerPin::LongestPin));
    problem_ = new QLabel(this);
    problem_->setObjectName("PinProblem");
    problem_->setStyleSheet("color: #c00000");
    problem_->setWordWrap(true);
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons_->button(QDialogButtonBox::Ok)->setText(qText(MessageCatalogue::text(Msg::EngineerPinOk, language)));
    buttons_->button(QDialogButtonBox::Cancel)
        ->setText(qText(MessageCatalogue::text(Msg::EngineerPinCancel, language)));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(question);
    layout->addWidget(entry_);
    layout->addWidget(problem_);
    layout->addWidget(buttons_);
    setMinimumWidth(360);

    waitTimer_ = new QTimer(this);
    waitTimer_->setInterval(250);
    connect(waitTimer_, &QTimer::timeout, this, &EngineerPinPrompt::refresh);
    connect(buttons_, &QDialogButtonBox::accepted, this, &EngineerPinPrompt::tryPin);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(entry_, &QLineEdit::textChanged, this, &EngineerPinPrompt::refresh);
    refresh();
}

void EngineerPinPrompt::tryPin()
{
    PinThrottle& shared = throttle();
    if (shared.waitLeftMs() > 0)
        return;
    if (pin_.matches(entry_->text().toStdString())) {
        shared.passed();
        accept();
        return;
    }
    shared.missed();
    entry_->clear();
    problem_->setText(qText(MessageCatalogue::text(Msg::EngineerPinWrong, language_)));
    refresh();
}

// While the station waits after wrong PINs, the prompt counts the seconds
// down and takes no PIN.
void EngineerPinPrompt::refresh()
{
    const int64_t waitMs = throttle().waitLeftMs();
    QPushButton* ok = buttons_->button(QDialogButtonBox::Ok);
    if (waitMs > 0) {
        problem_->setText(qText(ProductionText(Msg::EngineerPinWait, language_, {std::to_string((waitMs + 999) / 1000)})));
        waitTimer_->start();
        ok->setEnabled(false);
        return;
    }
    if (waitTimer_->isActive()) {
        waitTimer_->stop();
        problem_->clear();
    }
    ok->setEnabled(!entry_->text().isEmpty());
}
