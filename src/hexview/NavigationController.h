#pragma once

#include "hexview/KeyController.h"

// Caret movement: arrows, PageUp/PageDown, Home/End, Ctrl+Home/End; with
// Shift each extends the selection.
class NavigationController : public KeyController {
public:
    using KeyController::KeyController;

protected:
    bool handleKey(QKeyEvent* event) override;

private:
    void scrollAndMove(int rows, bool extend);
};
