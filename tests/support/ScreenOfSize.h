#pragma once

#include <QSize>

// The offscreen platform's screens are fixed when the application starts, so
// a test that needs a screen of its own size runs again in a child process
// whose screen has that size. Returns true where the screen has `size` (the
// test goes on there); elsewhere runs the current test in such a child,
// expects it to pass, and returns false (the test ends here).
bool OnScreenOfSize(QSize size);
