#include "hexview/ReadableInk.h"

#include <algorithm>
#include <cmath>

namespace {

double channel(double value)
{
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& colour)
{
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
}

QColor mix(const QColor& from, const QColor& to, double amount)
{
    const auto blend = [amount](float a, float b) { return a + (b - a) * float(amount); };
    return QColor::fromRgbF(blend(from.redF(), to.redF()), blend(from.greenF(), to.greenF()),
                            blend(from.blueF(), to.blueF()));
}

}  // namespace

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableInk(const QColor& preferred, const QColor& background, double minimum)
{
    if (contrastRatio(preferred, background) >= minimum)
        return preferred;
    const QColor extreme = contrastRatio(Qt::black, background) >= contrastRatio(Qt::white, background)
        ? QColor(Qt::black)
        : QColor(Qt::white);
    for (int step = 1; step <= 20; ++step) {
        const QColor candidate = mix(preferred, extreme, step / 20.0);
        if (contrastRatio(candidate, background) >= minimum)
            return candidate;
    }
    return extreme;
}
