#include "hexview/KeyController.h"

KeyController::KeyController(HexView& view, std::unique_ptr<KeyController> next)
    : view_(view), next_(std::move(next))
{
}

KeyController::~KeyController() = default;

bool KeyController::handle(QKeyEvent* event)
{
    return handleKey(event) || (next_ && next_->handle(event));
}
