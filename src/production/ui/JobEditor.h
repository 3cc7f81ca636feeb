#pragma once

#include <QDialog>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "production/JobDraft.h"
#include "production/ProductionJob.h"

class ChipCatalogue;
class QLabel;
class QWidget;

namespace Ui {
class JobEditor;
}

// The job editor (Production ▸ New job…, Edit job…): the chip, the image
// file with its size, extent and CRC-32, the range, the AUTO steps (with
// protection after programming), the serial
// rule as fields with the next three values as the bytes they become, the
// target of good chips, the edited job's value fields with their first values, the note, the lock, the engineer PIN and whether runs
// name their operator. A field that makes the job invalid is marked where it
// is, with the reason, and Save stays off until the job is valid. The job is
// written as `belcor-cli job create` writes it; the image stays where it is.
class JobEditor : public QDialog {
    Q_OBJECT
public:
    // A new job for the window's current chip and the AUTO steps it shows.
    JobEditor(const ChipCatalogue& catalogue, const AutoOptions& steps, int language, QWidget* parent);
    ~JobEditor() override;

    // Edit job: the fields of the job at `path`; its PIN is kept unless a
    // new one is typed.
    void editJob(const ProductionJob& job, const std::string& path);

    // Where Save writes; a new job asks for it at the first Save.
    void setJobPath(const std::string& path) { jobPath_ = path; }
    const std::string& jobPath() const { return jobPath_; }

    // The job as the fields give it; nothing while a field is invalid.
    std::optional<ProductionJob> job() const;
    // Writes the job; false, with the reason shown, when it cannot.
    bool save();

private:
    void findChips();
    void chooseImage();
    void validate();
    // The rule of the serial fields; nothing with the reason set and the
    // field at fault (the group itself when no one field is).
    std::optional<SerialRule> serialRule(QString& problem, QWidget*& culprit) const;
    // A range not chosen is the chip's whole: it follows the chip.
    void showWholeChip(int slot);
    std::optional<ProductionJob::Range> range(QString& problem) const;
    void showPreview(const std::optional<SerialRule>& rule);
    // The first three values of each of the edited job's value fields.
    void showValues(const ProductionJob& job, const std::string& path);
    void mark(QWidget* field, QLabel* reason, const QString& problem);
    void applyLanguage();
    QString text(Msg message) const;

    std::unique_ptr<Ui::JobEditor> ui;
    const ChipCatalogue& catalogue_;
    int language_;
    JobDraft draft_;
    std::string loadedKey_;     // chip, image and range the draft holds
    std::string loadProblem_;
    std::string jobPath_;
    std::optional<EngineerPin> keptPin_;
    std::string keptSequence_;  // the edited job's serial sequence: its numbers go on
    // The edited job's value fields (paths made absolute) and their policy:
    // the editor shows them, and a saved job keeps them.
    std::vector<ValueField> keptValues_;
    bool keptReuseValues_ = false;
    std::optional<ProductionJob> valid_;
};
