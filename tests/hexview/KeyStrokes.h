#pragma once

#include <QString>

class QWidget;

// Sends key strokes to a widget the way a keyboard does. `strokes` is typed
// text with named keys in angle brackets: "A5<Tab>x<S-Right><C-z>".
// Names: Left Right Up Down Home End PgUp PgDn Del BS Tab Ins; prefixes S-
// (Shift) and C- (Ctrl) combine, "<C-z>" is Ctrl+Z.
void sendKeys(QWidget& widget, const QString& strokes);
