// Accuracy of the sub-pixel marker centre on generated pictures (fixed seeds): anti-aliased
// discs of radius 4-8 at random sub-pixel positions on a textured background, noise of
// sigma 2, with and without JPEG at quality 90.
#include "marker_scene.h"
#include "sub_pixel_centre.h"
#include "sway_tracking.h"
#include "tracking.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

struct Errors {
    double sumX = 0, sumY = 0;
    int n = 0;
    void add(double dx, double dy) {
        sumX += dx * dx;
        sumY += dy * dy;
        ++n;
    }
    [[nodiscard]] double rmsX() const { return std::sqrt(sumX / n); }
    [[nodiscard]] double rmsY() const { return std::sqrt(sumY / n); }
};

struct Accuracy {
    Errors subPixel; // tracked: the centre recorded after trackMarkers
    Errors clicked;  // placed: the centre recorded after a click
    Errors integer;  // the tracking's own whole-pixel centre (truncated mean)
};

ArgbPicture argb(const QImage& image) {
    return {reinterpret_cast<const uint32_t*>(image.constBits()), image.width(), image.height(),
            image.bytesPerLine() / 4};
}

// `count` discs, one per picture of 48 x 48 pixels, each followed from an old position a few
// pixels off its centre, as the tracking would meet it.
Accuracy measure(unsigned seed, int count, int jpegQuality) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> radius(4.0, 8.0), fraction(-0.5, 0.5),
        white(240.0, 255.0);
    std::uniform_int_distribution<int> offset(-2, 2);
    AnalysisState state;
    state.darknessTolerance = 40; // the default of pcol.dat
    state.pointCount = 1;
    Accuracy a;
    for (int i = 0; i < count; ++i) {
        const Texture texture(rng);
        const Disc disc{24 + fraction(rng), 24 + fraction(rng), radius(rng), white(rng)};
        QImage image = renderScene(48, 48, texture, {disc}, 2.0, rng);
        if (jpegQuality > 0)
            image = throughJpeg(image, jpegQuality);

        const int x0 = 24 + offset(rng);
        const int y0 = 24 + offset(rng);
        state.pointX[1] = static_cast<int16_t>(x0);
        state.pointY[1] = static_cast<int16_t>(y0);
        const PhotoView photo{reinterpret_cast<const uint32_t*>(image.constBits()), image.width(),
                              image.height(), image.bytesPerLine() / 4};
        std::vector<uint32_t> scratch(48 * 48);
        CanvasView canvas{scratch.data(), 48, 48, 48};
        if (!trackMarkers(state, photo, canvas).allFound) {
            ADD_FAILURE() << "disc " << i << " not found";
            continue;
        }
        a.integer.add(state.pointX[1] - disc.x, state.pointY[1] - disc.y);
        const auto tracked = trackedCentre(argb(image), state, x0, y0);
        const auto clicked = clickedCentre(argb(image), state, x0 + 0.4, y0 - 0.3);
        if (!tracked || !clicked) {
            ADD_FAILURE() << "disc " << i << " has no sub-pixel centre";
            continue;
        }
        a.subPixel.add(tracked->x - disc.x, tracked->y - disc.y);
        a.clicked.add(clicked->x - disc.x, clicked->y - disc.y);
    }
    return a;
}

void print(const char* what, const Accuracy& a) {
    std::printf("%-16s RMS error x/y: sub-pixel %.4f/%.4f px, after a click %.4f/%.4f px, "
                "truncated integer centre %.3f/%.3f px (%d discs)\n",
                what, a.subPixel.rmsX(), a.subPixel.rmsY(), a.clicked.rmsX(), a.clicked.rmsY(),
                a.integer.rmsX(), a.integer.rmsY(), a.subPixel.n);
}

TEST(SubPixelAccuracy, DiscsOnTexturedBackgroundPlainAndThroughJpeg) {
    for (const auto& [what, seed, quality] :
         {std::tuple{"plain", 20240611u, 0}, {"JPEG quality 90", 7031u, 90}}) {
        const Accuracy a = measure(seed, 300, quality);
        print(what, a);
        EXPECT_LE(std::max(a.subPixel.rmsX(), a.subPixel.rmsY()), 0.02) << what;
        EXPECT_LE(std::max(a.clicked.rmsX(), a.clicked.rmsY()), 0.02) << what;
        // Whole pixels bury the signal: the sub-pixel centre must beat them by far.
        EXPECT_GE(a.integer.rmsX(), 0.2) << what;
    }
}

} // namespace
