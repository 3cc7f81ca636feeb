#pragma once

#include <QDialog>
#include <optional>
#include <string>

class OwnSettings;
class QDialogButtonBox;
class QLineEdit;

// Asked when a run starts: who runs it, by name or badge, offered as the
// station last heard it. A job that wants its operator named takes no empty
// answer.
class OperatorPrompt : public QDialog {
    Q_OBJECT
public:
    // The operator (trimmed, possibly empty when the job allows it), remembered
    // in `remembered` for the next start; nothing when the prompt was cancelled.
    static std::optional<std::string> ask(OwnSettings& remembered, bool required, int language, QWidget* parent);

    OperatorPrompt(const std::string& offered, bool required, int language, QWidget* parent);

    std::string name() const;

    // The longest name or badge a record takes from the prompt.
    static constexpr int LongestName = 64;

private:
    void refresh();

    bool required_;
    QLineEdit* entry_;
    QDialogButtonBox* buttons_;
};
