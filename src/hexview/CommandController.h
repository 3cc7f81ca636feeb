#pragma once

#include "hexview/KeyController.h"

// Commands of the view: undo, redo, copy, the insert-mode toggle and Tab to
// switch between the hex and the text field.
class CommandController : public KeyController {
public:
    using KeyController::KeyController;

protected:
    bool handleKey(QKeyEvent* event) override;
};
