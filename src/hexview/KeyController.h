#pragma once

#include <memory>

class HexView;
class QKeyEvent;

// One link of the view's key handling: each link takes the keys it knows and
// passes the rest on to the next.
class KeyController {
public:
    KeyController(HexView& view, std::unique_ptr<KeyController> next);
    virtual ~KeyController();
    KeyController(const KeyController&) = delete;
    KeyController& operator=(const KeyController&) = delete;

    bool handle(QKeyEvent* event);

protected:
    virtual bool handleKey(QKeyEvent* event) = 0;

    HexView& view_;

private:
    std::unique_ptr<KeyController> next_;
};
