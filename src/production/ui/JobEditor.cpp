#include "production/ui/JobEditor.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>
#include <limits>

#include "chips/ChipCatalogue.h"
#include "chips/ChipRow.h"
#include "chips/ChipSearch.h"
#include "core/MessageCatalogue.h"
#include "production/JobFile.h"
#include "production/JobSetup.h"
#include "production/JobValues.h"
#include "production/ProductionText.h"
#include "production/SerialSequence.h"
#include "ui_JobEditor.h"

namespace {

QString qText(const std::string& text)
{
    return QString::fromStdString(text);
}

constexpr SerialForm Forms[] = {SerialForm::LittleEndian, SerialForm::BigEndian, SerialForm::Bcd,
                                SerialForm::Decimal, SerialForm::Hexadecimal};

// The list stays short enough to open at once; typing more narrows it.
constexpr size_t ShownChips = 200;

QString chipTitle(const ChipRecord& record)
{
    const ChipRow row = ChipRow::fromRecord(record);
    return qText(row.cells[ChipRow::Type] + "," + row.cells[ChipRow::Manufacturer] + "," + row.cells[ChipRow::Name]);
}

QString hexAddress(uint64_t address)
{
    return QString("0x%1").arg(address, 6, 16, QChar('0')).toUpper().replace("0X", "0x");
}

QString hexBytes(const std::vector<uint8_t>& bytes)
{
    QStringList pairs;
    for (const uint8_t byte : bytes)
        pairs << QString("%1").arg(byte, 2, 16, QChar('0')).toUpper();
    return pairs.join(' ');
}

}  // namespace

JobEditor::JobEditor(const ChipCatalogue& catalogue, const AutoOptions& steps, int language, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::JobEditor>()), catalogue_(catalogue), language_(language)
{
    ui->setupUi(this);
    for (const SerialForm form : Forms)
        ui->SerialForm->addItem(SerialFormName(form));
    if (catalogue.currentChip >= 0 && catalogue.currentChip < catalogue.recordCount())
        ui->ChipList->addItem(chipTitle(catalogue.currentRecord()), catalogue.currentChip);
    ui->StepErase->setChecked(steps.erase);
    ui->StepProgram->setChecked(steps.program);
    ui->StepVerify->setChecked(steps.verify);
    applyLanguage();

    connect(ui->ChipFind, &QLineEdit::textChanged, this, &JobEditor::findChips);
    connect(ui->ImageBrowse, &QPushButton::clicked, this, &JobEditor::chooseImage);
    for (QLineEdit* edit : {ui->ImagePath, ui->RangeStart, ui->RangeEnd, ui->SerialAddress, ui->SerialFirst,
                            ui->SerialStep, ui->SerialPrefix, ui->Note, ui->Pin})
        connect(edit, &QLineEdit::textChanged, this, &JobEditor::validate);
    for (QAbstractButton* box : {static_cast<QAbstractButton*>(ui->RangeEnabled), static_cast<QAbstractButton*>(ui->StepErase),
                                 static_cast<QAbstractButton*>(ui->StepProgram), static_cast<QAbstractButton*>(ui->StepVerify),
                                 static_cast<QAbstractButton*>(ui->SerialReuse), static_cast<QAbstractButton*>(ui->Locked),
                                 static_cast<QAbstractButton*>(ui->OperatorRequired),
                                 static_cast<QAbstractButton*>(ui->ProtectAfter)})
        connect(box, &QAbstractButton::toggled, this, &JobEditor::validate);
    connect(ui->SerialGroup, &QGroupBox::toggled, this, &JobEditor::validate);
    connect(ui->SerialWidth, &QSpinBox::valueChanged, this, &JobEditor::validate);
    connect(ui->Target, &QSpinBox::valueChanged, this, &JobEditor::validate);
    connect(ui->ChipList, &QComboBox::currentIndexChanged, this, &JobEditor::validate);
    connect(ui->SerialForm, &QComboBox::currentIndexChanged, this, &JobEditor::validate);
    connect(ui->Buttons, &QDialogButtonBox::accepted, this, [this] {
        if (save())
            accept();
    });
    connect(ui->Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    validate();
}

JobEditor::~JobEditor() = default;

QString JobEditor::text(Msg message) const
{
    return qText(MessageCatalogue::text(message, language_));
}

void JobEditor::applyLanguage()
{
    setWindowTitle(text(Msg::JobEditorNewTitle));
    ui->ChipLabel->setText(text(Msg::JobEditorChip));
    ui->ChipFind->setPlaceholderText(text(Msg::JobEditorFind));
    ui->ImageLabel->setText(text(Msg::JobEditorImage));
    ui->ImageBrowse->setText(text(Msg::JobEditorBrowse));
    ui->RangeEnabled->setText(text(Msg::JobEditorRange));
    ui->StepsLabel->setText(text(Msg::JobEditorSteps));
    ui->StepErase->setText(text(Msg::JobEditorErase));
    ui->StepProgram->setText(text(Msg::JobEditorProgram));
    ui->StepVerify->setText(text(Msg::JobEditorVerify));
    ui->ProtectAfter->setText(text(Msg::ProtectAfterItem));
    ui->SerialGroup->setTitle(text(Msg::JobEditorSerial));
    ui->SerialAddressLabel->setText(text(Msg::JobEditorSerialAddress));
    ui->SerialWidthLabel->setText(text(Msg::JobEditorSerialWidth));
    ui->SerialFormLabel->setText(text(Msg::JobEditorSerialForm));
    ui->SerialFirstLabel->setText(text(Msg::JobEditorSerialFirst));
    ui->SerialStepLabel->setText(text(Msg::JobEditorSerialStep));
    ui->SerialPrefixLabel->setText(text(Msg::JobEditorSerialPrefix));
    ui->SerialReuse->setText(text(Msg::JobEditorSerialReuse));
    ui->TargetLabel->setText(text(Msg::JobEditorTarget));
    ui->NoteLabel->setText(text(Msg::JobEditorNote));
    ui->Locked->setText(text(Msg::JobEditorLock));
    ui->PinLabel->setText(text(Msg::JobEditorPin));
    ui->OperatorRequired->setText(text(Msg::JobEditorOperatorRequired));
    ui->Buttons->button(QDialogButtonBox::Save)->setText(text(Msg::JobEditorSave));
    ui->Buttons->button(QDialogButtonBox::Cancel)->setText(text(Msg::EngineerPinCancel));
}

void JobEditor::editJob(const ProductionJob& job, const std::string& path)
{
    jobPath_ = path;
    keptPin_ = job.pin;
    keptSequence_ = SerialSequenceOf(job);
    keptValues_ = job.values;
    for (ValueField& field : keptValues_)
        field.path = field.path.empty() ? field.path : JobValues::sourcePath(field, path);
    keptReuseValues_ = job.reuseFailedValues;
    showValues(job, path);
    setWindowTitle(qText(ProductionText(Msg::JobEditorEditTitle, language_, {job.name})));
    std::string error;
    const int32_t slot = FindJobChip(catalogue_, job.chip, language_, error);
    ui->ChipList->clear();
    if (slot >= 0)
        ui->ChipList->addItem(chipTitle(catalogue_.ChipDatabase[static_cast<size_t>(slot)]), slot);
    ui->ImagePath->setText(qText(JobImagePath(job, path)));
    std::vector<ImagePlacement> images = JobImagePlacements(job, path);
    images.erase(images.begin());
    draft_.keepImages(job.imageAddress, std::move(images));
    loadedKey_.clear();
    ui->RangeEnabled->setChecked(job.range.has_value());
    if (job.range) {
        ui->RangeStart->setText(hexAddress(job.range->start));
        ui->RangeEnd->setText(hexAddress(job.range->end));
    }
    ui->StepErase->setChecked(job.options.erase);
    ui->StepProgram->setChecked(job.options.program);
    ui->StepVerify->setChecked(job.options.verify);
    ui->ProtectAfter->setChecked(job.options.protect);
    ui->SerialGroup->setChecked(job.serial.has_value());
    if (job.serial) {
        ui->SerialAddress->setText(hexAddress(job.serial->address));
        ui->SerialWidth->setValue(static_cast<int>(job.serial->width));
        ui->SerialForm->setCurrentIndex(static_cast<int>(std::find(std::begin(Forms), std::end(Forms), job.serial->form) -
                                                         std::begin(Forms)));
        ui->SerialFirst->setText(QString::number(job.serial->first));
        ui->SerialStep->setText(QString::number(job.serial->step));
        ui->SerialPrefix->setText(qText(job.serial->prefix));
        ui->SerialReuse->setChecked(job.serial->reuseFailed);
    }
    ui->Target->setValue(job.target ? static_cast<int>(std::min<int64_t>(*job.target, ui->Target->maximum())) : 0);
    ui->Note->setText(qText(job.note));
    ui->Locked->setChecked(job.locked);
    ui->OperatorRequired->setChecked(job.operatorRequired);
    ui->Pin->setPlaceholderText(job.pin ? text(Msg::JobEditorPinKept) : QString());
    validate();
    if (slot < 0)
        mark(ui->ChipList, ui->ChipProblem, qText(error));
}

void JobEditor::showWholeChip(int slot)
{
    if (ui->RangeEnabled->isChecked())
        return;
    const bool known = slot >= 0 && slot < catalogue_.recordCount();
    const uint32_t size = known ? catalogue_.ChipDatabase[static_cast<size_t>(slot)].flashSize : 0;
    const QSignalBlocker quietStart(ui->RangeStart);
    const QSignalBlocker quietEnd(ui->RangeEnd);
    ui->RangeStart->setText("0x000000");
    ui->RangeEnd->setText(hexAddress(size ? size - 1 : 0));
}

// The window's own search: every record whose title holds the typed text.
void JobEditor::findChips()
{
    const std::vector<ChipSearchRow> found = FindChips(catalogue_, ui->ChipFind->text().toStdString());
    if (found.empty())
        return;
    const QVariant chosen = ui->ChipList->currentData();
    {
        const QSignalBlocker quiet(ui->ChipList);
        ui->ChipList->clear();
        for (size_t i = 0; i < found.size() && i < ShownChips; ++i)
            ui->ChipList->addItem(qText(found[i].type + "," + found[i].manufacturer + "," + found[i].name),
                                  found[i].slot);
        const int again = ui->ChipList->findData(chosen);
        ui->ChipList->setCurrentIndex(again >= 0 ? again : 0);
    }
    validate();
}

void JobEditor::chooseImage()
{
    const QString path = QFileDialog::getOpenFileName(this, text(Msg::JobEditorImage), ui->ImagePath->text());
    if (!path.isEmpty())
        ui->ImagePath->setText(path);
}

std::optional<ProductionJob::Range> JobEditor::range(QString& problem) const
{
    if (!ui->RangeEnabled->isChecked())
        return std::nullopt;
    uint64_t start = 0;
    uint64_t end = 0;
    const std::string startText = ui->RangeStart->text().trimmed().toStdString();
    const std::string endText = ui->RangeEnd->text().trimmed().toStdString();
    if (!ParseRuleNumber(startText, 16, start) || start > std::numeric_limits<int32_t>::max())
        problem = qText(ProductionText(Msg::JobEditorBadNumber, language_, {startText}));
    else if (!ParseRuleNumber(endText, 16, end) || end > std::numeric_limits<int32_t>::max())
        problem = qText(ProductionText(Msg::JobEditorBadNumber, language_, {endText}));
    else if (start > end)
        problem = text(Msg::JobEditorRangeOrder);
    return ProductionJob::Range{static_cast<uint32_t>(start), static_cast<uint32_t>(end)};
}

std::optional<SerialRule> JobEditor::serialRule(QString& problem, QWidget*& culprit) const
{
    SerialRule rule;
    uint64_t address = 0;
    // Named by its caption: an empty field has no typed text to show.
    const auto number = [&](QLineEdit* field, const QLabel* caption, int base, uint64_t limit, uint64_t& value) {
        const std::string typed = field->text().trimmed().toStdString();
        if (ParseRuleNumber(typed, base, value) && value <= limit)
            return true;
        problem = qText(ProductionText(Msg::JobEditorBadNumber, language_, {caption->text().toStdString()}));
        culprit = field;
        return false;
    };
    if (!number(ui->SerialAddress, ui->SerialAddressLabel, 16, std::numeric_limits<uint32_t>::max(), address) ||
        !number(ui->SerialFirst, ui->SerialFirstLabel, 10, std::numeric_limits<uint64_t>::max(), rule.first) ||
        !number(ui->SerialStep, ui->SerialStepLabel, 10, std::numeric_limits<uint64_t>::max(), rule.step))
        return std::nullopt;
    rule.address = static_cast<uint32_t>(address);
    rule.width = static_cast<uint32_t>(ui->SerialWidth->value());
    rule.form = Forms[std::max(ui->SerialForm->currentIndex(), 0)];
    rule.prefix = ui->SerialPrefix->text().toStdString();
    rule.reuseFailed = ui->SerialReuse->isChecked();
    if (const std::string why = rule.problem(); !why.empty()) {
        // A text form's prefix takes bytes of the width: a width error says how many.
        const bool textForm = rule.form == SerialForm::Decimal || rule.form == SerialForm::Hexadecimal;
        const bool prefixTakesRoom = !rule.prefix.empty() && textForm;
        problem = prefixTakesRoom ? qText(ProductionText(Msg::JobEditorSerialPrefixWidth, language_,
                                                         {why, rule.prefix, std::to_string(rule.prefix.size())}))
                                  : qText(ProductionText(Msg::JobEditorSerialTooLarge, language_, {why}));
        if (!rule.prefix.empty() && !textForm)
            culprit = ui->SerialPrefix;
        else if (rule.step == 0)
            culprit = ui->SerialStep;
        else
            culprit = ui->SerialWidth;
        return std::nullopt;
    }
    return rule;
}

// The first three numbers of the rule as the chips receive them.
void JobEditor::showPreview(const std::optional<SerialRule>& rule)
{
    if (!rule) {
        ui->SerialPreview->clear();
        return;
    }
    QStringList lines;
    std::optional<uint64_t> value = rule->first;
    for (int i = 0; i < 3 && value; ++i, value = rule->after(*value)) {
        if (const std::optional<std::vector<uint8_t>> bytes = rule->encode(*value))
            lines << qText(rule->text(*value)) + "  →  " + hexBytes(*bytes);
    }
    ui->SerialPreview->setText(qText(ProductionText(Msg::JobEditorPreview, language_, {""})) + "\n" + lines.join('\n'));
}

// A source that cannot be read shows why instead of its values.
void JobEditor::showValues(const ProductionJob& job, const std::string& path)
{
    QStringList lines;
    std::string error;
    const std::optional<JobValues> values = JobValues::load(job, path, {}, 0, UINT64_MAX, language_, error);
    for (size_t index = 0; values && index < values->size(); ++index) {
        QStringList next;
        for (const std::string& value : values->preview(index, std::nullopt, 3))
            next << qText(value);
        lines << qText(values->field(index).name()) + ":  " +
                     (next.isEmpty() ? text(Msg::ValueSourceNone) : next.join(", "));
    }
    if (!values && !job.values.empty())
        lines << qText(error);
    ui->ValuePreview->setText(text(Msg::JobEditorNextValues) + "\n" + lines.join('\n'));
    ui->ValuePreview->setVisible(!lines.isEmpty());
}

// Only the field at fault is framed; a frame on a group would frame every field in it.
void JobEditor::mark(QWidget* field, QLabel* reason, const QString& problem)
{
    if (field) {
        field->setStyleSheet(problem.isEmpty() ? QString() : QString("border: 1px solid #c00000"));
        field->setToolTip(problem);
    }
    if (reason) {
        reason->setText(problem);
        reason->setVisible(!problem.isEmpty());
    }
}

void JobEditor::validate()
{
    valid_.reset();
    const int slot = ui->ChipList->currentIndex() >= 0 ? ui->ChipList->currentData().toInt() : -1;
    mark(ui->ChipList, ui->ChipProblem, slot < 0 ? text(Msg::JobEditorNoChip) : QString());
    showWholeChip(slot);

    QString rangeProblem;
    const std::optional<ProductionJob::Range> chosenRange = range(rangeProblem);
    ui->RangeStart->setEnabled(ui->RangeEnabled->isChecked());
    ui->RangeEnd->setEnabled(ui->RangeEnabled->isChecked());
    mark(ui->RangeEnabled->isChecked() ? static_cast<QWidget*>(ui->RangeStart) : ui->RangeEnabled, ui->RangeProblem,
         rangeProblem);

    const std::string image = ui->ImagePath->text().trimmed().toStdString();
    QString imageProblem;
    if (image.empty()) {
        imageProblem = text(Msg::JobEditorNoImage);
    } else if (slot >= 0 && rangeProblem.isEmpty()) {
        const std::string key = std::to_string(slot) + "\n" + image + "\n" +
                                (chosenRange ? std::to_string(chosenRange->start) + "-" + std::to_string(chosenRange->end)
                                             : std::string());
        if (key != loadedKey_) {
            loadProblem_ = draft_.load(catalogue_.ChipDatabase[static_cast<size_t>(slot)], image, chosenRange, language_);
            loadedKey_ = key;
        }
        imageProblem = qText(loadProblem_);
    }
    mark(ui->ImagePath, ui->ImageProblem, imageProblem);
    ui->ImageInfo->clear();
    const SpanChoice span = draft_.loaded() && imageProblem.isEmpty() ? draft_.span() : SpanChoice{};
    if (draft_.loaded() && imageProblem.isEmpty() && !span.refusal)
        ui->ImageInfo->setText(qText(ProductionText(
            Msg::JobEditorImageInfo, language_,
            {std::to_string(draft_.imageBytes()), hexAddress(span.span.start).toStdString(),
             hexAddress(span.span.end ? span.span.end - 1 : 0).toStdString(), draft_.checksums().crc32Text()})));

    QString serialProblem;
    QWidget* serialCulprit = nullptr;
    std::optional<SerialRule> rule;
    if (ui->SerialGroup->isChecked())
        rule = serialRule(serialProblem, serialCulprit);
    showPreview(rule);
    for (QWidget* field : {static_cast<QWidget*>(ui->SerialAddress), static_cast<QWidget*>(ui->SerialWidth),
                           static_cast<QWidget*>(ui->SerialFirst), static_cast<QWidget*>(ui->SerialStep),
                           static_cast<QWidget*>(ui->SerialPrefix)})
        mark(field, nullptr, QString());
    mark(serialCulprit, ui->SerialProblem, serialProblem);

    const std::string pin = ui->Pin->text().toStdString();
    const QString pinProblem = !pin.empty() && !EngineerPin::problemOf(pin).empty()
                                   ? qText(ProductionText(Msg::JobEditorBadPin, language_,
                                                          {std::to_string(EngineerPin::ShortestPin),
                                                           std::to_string(EngineerPin::LongestPin)}))
                                   : QString();
    mark(ui->Pin, ui->PinProblem, pinProblem);

    QString jobProblem;
    if (slot >= 0 && rangeProblem.isEmpty() && imageProblem.isEmpty() && serialProblem.isEmpty() &&
        pinProblem.isEmpty()) {
        JobChoices choices;
        choices.options = AutoOptions{ui->StepErase->isChecked(), ui->StepProgram->isChecked(),
                                      ui->StepVerify->isChecked()};
        choices.options.protect = ui->ProtectAfter->isChecked();
        choices.serial = rule;
        choices.note = ui->Note->text().toStdString();
        choices.locked = ui->Locked->isChecked();
        if (ui->Target->value() > 0)
            choices.target = ui->Target->value();
        choices.pin = keptPin_;
        choices.serialSequence = keptSequence_;
        choices.operatorRequired = ui->OperatorRequired->isChecked();
        choices.values = keptValues_;
        choices.reuseFailedValues = keptReuseValues_;
        std::string error;
        valid_ = draft_.job(jobPath_.empty() ? std::string("job") + JobFile::Extension : jobPath_, choices, error);
        // A serial number outside what the job programs is the serial
        // fields' fault: it is shown there.
        if (!valid_ && rule && error == ProductionText(Msg::JobSerialOutsideSpan, language_, {rule->describe()}))
            mark(ui->SerialAddress, ui->SerialProblem, qText(error));
        else if (!valid_)
            jobProblem = qText(error);
    }
    ui->JobProblem->setText(jobProblem);
    ui->JobProblem->setVisible(!jobProblem.isEmpty());
    ui->Buttons->button(QDialogButtonBox::Save)->setEnabled(valid_.has_value());
}

std::optional<ProductionJob> JobEditor::job() const
{
    return valid_;
}

bool JobEditor::save()
{
    // The image is read again: it may have changed since it was chosen.
    loadedKey_.clear();
    validate();
    if (!valid_)
        return false;
    if (jobPath_.empty()) {
        // Beside the image, named after it: where a job and its image belong together.
        const QFileInfo image(ui->ImagePath->text().trimmed());
        QString path = QFileDialog::getSaveFileName(
            this, windowTitle(), image.absoluteDir().filePath(image.completeBaseName() + JobFile::Extension),
            text(Msg::JobFileFilter));
        if (path.isEmpty())
            return false;
        if (!path.endsWith(JobFile::Extension))
            path += JobFile::Extension;
        jobPath_ = path.toStdString();
        validate();
        if (!valid_)
            return false;
    }
    ProductionJob made = *valid_;
    if (const std::string pin = ui->Pin->text().toStdString(); !pin.empty()) {
        made.pin = EngineerPin::of(pin);
        if (!made.pin) {
            mark(ui->Pin, ui->PinProblem, text(Msg::FileWriteError));
            return false;
        }
    }
    if (const std::string error = JobFile::write(jobPath_, made); !error.empty()) {
        ui->JobProblem->setText(qText(error));
        ui->JobProblem->setVisible(true);
        return false;
    }
    return true;
}
