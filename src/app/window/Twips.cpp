#include "app/window/Twips.h"

#include <cmath>

namespace ostrell::app {

double twipsPerPixel(double logicalDpi) { return logicalDpi > 0 ? TwipsPerInch / logicalDpi : 15.0; }

int twipsToPixels(int twips, double logicalDpi) {
    // A DPI of zero or below comes from a screen that is not ready; the desktop's usual 96 stands in.
    const double dpi = logicalDpi > 0 ? logicalDpi : 96.0;
    return static_cast<int>(std::lround(twips * dpi / TwipsPerInch));
}

PixelRect toPixels(const TwipsRect& r, double logicalDpi) {
    return {twipsToPixels(r.left, logicalDpi), twipsToPixels(r.top, logicalDpi), twipsToPixels(r.width, logicalDpi),
            twipsToPixels(r.height, logicalDpi)};
}

}  // namespace ostrell::app
