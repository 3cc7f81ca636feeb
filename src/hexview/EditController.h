#pragma once

#include "hexview/KeyController.h"

// Typing: hex digits in the hex field, characters in the text field, and
// Delete/Backspace.
class EditController : public KeyController {
public:
    using KeyController::KeyController;

protected:
    bool handleKey(QKeyEvent* event) override;
};
