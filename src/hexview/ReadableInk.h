#pragma once

#include <QColor>

// Colour contrast as the WCAG defines it: (L1 + 0.05) / (L2 + 0.05) of the
// relative luminances, from 1 (same) to 21 (black on white).
double contrastRatio(const QColor& a, const QColor& b);

// `preferred` when it reads well enough on `background`, else the nearest
// mix of it with black or white (whichever the background sets off better)
// that reaches `minimum`. Palette accents such as the highlight colour are
// often too light for text on a light button face.
QColor readableInk(const QColor& preferred, const QColor& background, double minimum = 4.5);
