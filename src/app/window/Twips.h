#pragma once

// The window's layout is given in twips (1/1440 inch); the screen works in pixels at its logical DPI.
namespace ostrell::app {

inline constexpr int TwipsPerInch = 1440;

// Twips per screen pixel along one axis: 15 at 96 DPI, 12 at 120 DPI.
double twipsPerPixel(double logicalDpi);

// A length or coordinate in twips as whole pixels, rounded to the nearest pixel (halves away from zero).
int twipsToPixels(int twips, double logicalDpi);

struct TwipsRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct PixelRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const PixelRect&) const = default;
};

// Each of the four values converted on its own, so equal sizes in twips stay equal in pixels.
PixelRect toPixels(const TwipsRect& r, double logicalDpi);

}  // namespace ostrell::app
