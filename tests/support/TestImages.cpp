#include "tests/support/TestImages.h"

#include <stdexcept>

namespace testing_support {

void Paint(sim::CHostImage& image, int x, int y, SColour colour) {
    for (int k = 0; k < image.Planes(); ++k) image.At(x, y, k) = colour.c[k < 4 ? k : 3];
}

sim::CHostImage SolidImage(int width, int height, int planes, SColour fill) {
    sim::CHostImage image(width, height, planes);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) Paint(image, x, y, fill);
    return image;
}

sim::CHostImage ImageFromRows(const std::vector<std::string>& rows, int planes) {
    const int height = int(rows.size());
    const int width = height ? int(rows[0].size()) : 0;
    sim::CHostImage image(width, height, planes);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            SColour colour;
            switch (rows[y].at(x)) {
                case '#':
                    colour = kBlack;
                    break;
                case '.':
                    colour = kWhite;
                    break;
                case 'r':
                    colour = kRed;
                    break;
                case 'g':
                    colour = kGreen;
                    break;
                case 'b':
                    colour = kBlue;
                    break;
                case 'y':
                    colour = SColour{{255, 255, 0, 255}};
                    break;
                default:
                    throw std::invalid_argument("unknown pixel character");
            }
            Paint(image, x, y, colour);
        }
    }
    return image;
}

sim::SImageSpec RgbSpec(const sim::CHostImage& image) {
    sim::SImageSpec imageSpec;
    imageSpec.width = int16_t(image.Width());
    imageSpec.height = int16_t(image.Height());
    imageSpec.planes = int16_t(image.Planes());
    return imageSpec;
}

bool IsBlack(const sim::CHostImage& image, int x, int y, bool cmyk) {
    if (cmyk) return image.At(x, y, 3) < 60;
    for (int k = 0; k < image.Planes(); ++k)
        if (image.At(x, y, k) > 8) return false;
    return true;
}

}  // namespace testing_support
