#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "production/EngineerPin.h"
#include "production/PinThrottle.h"

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QTimer;
struct ProductionJob;

// Asks for a job's engineer PIN before a locked job is closed or edited, its
// counters reset, or the operator's full screen left. A wrong PIN keeps the
// prompt open; the third in a row makes every prompt of the station wait.
class EngineerPinPrompt : public QDialog {
    Q_OBJECT
public:
    // True when `job` carries no PIN or the engineer gave it; false when
    // the prompt was cancelled.
    static bool confirm(const ProductionJob& job, int language, QWidget* parent);

    // One count of wrong PINs for every prompt of the process, so that
    // closing and reopening the prompt does not start it again.
    static PinThrottle& throttle();

    EngineerPinPrompt(const EngineerPin& pin, const std::string& jobName, int language, QWidget* parent);

private:
    void tryPin();
    void refresh();

    EngineerPin pin_;
    int language_;
    QLineEdit* entry_;
    QLabel* problem_;
    QDialogButtonBox* buttons_;
    QTimer* waitTimer_;
};
