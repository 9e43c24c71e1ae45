// The progress display: step labels and percentages of both channels, the ring's pixels,
// and the arithmetic behind them.

#include "AppTestSupport.h"
#include "app/ProgressRing.h"

#include <cmath>
#include <limits>

using namespace app_testing;

namespace {

using ProgressTest = WindowTest;

struct Op {
    char kind; // 'I' InitialiseProgress(id, value), 'S' StepProgress(id) value times
    int id;
    qint64 value;
};

TEST_F(ProgressTest, LabelsAndPercentagesFollowTheCounters) {
    struct Case {
        const char* name;
        std::vector<Op> ops;
        int channel; // the channel looked at
        QString label;
        qint64 current;
        int percent;
    };
    const Case cases[] = {
        {"0 of 0", {{'I', 1, 0}}, 1, "Step 0 of 0", 0, 0},
        {"1 of 3", {{'I', 1, 3}, {'S', 1, 1}}, 1, "Step 1 of 3", 1, 33},
        {"2 of 3", {{'I', 2, 3}, {'S', 2, 2}}, 2, "Step 2 of 3", 2, 66},
        {"11 of 11", {{'I', 1, 11}, {'S', 1, 11}}, 1, "Step 11 of 11", 11, 100},
        {"a step past the maximum stays there",
         {{'I', 2, 5}, {'S', 2, 6}},
         2,
         "Step 5 of 5",
         5,
         100},
        {"a step with maximum 0 stays at 0", {{'I', 1, 0}, {'S', 1, 1}}, 1, "Step 0 of 0", 0, 0},
        {"initialising starts again at 0",
         {{'I', 2, 4}, {'S', 2, 3}, {'I', 2, 8}},
         2,
         "Step 0 of 8",
         0,
         0},
        {"channel 1 leaves channel 2 alone",
         {{'I', 2, 4}, {'S', 2, 1}, {'I', 1, 9}, {'S', 1, 1}},
         2,
         "Step 1 of 4",
         1,
         25},
        {"an unknown channel changes no counter",
         {{'I', 1, 4}, {'S', 1, 2}, {'I', 3, 9}, {'S', 3, 1}},
         1,
         "Step 2 of 4",
         2,
         50},
        {"beyond 32 bits", {{'I', 2, 3'000'000'000}}, 2, "Step 0 of 3000000000", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window->InitialiseProgress(1, 0);
        window->InitialiseProgress(2, 0);
        for (const Op& op : c.ops) {
            if (op.kind == 'I')
                window->InitialiseProgress(op.id, op.value);
            else
                for (qint64 i = 0; i < op.value; ++i)
                    window->StepProgress(op.id);
        }
        const char* labelName = c.channel == 1 ? "lbStatus1" : "lbStatus2";
        EXPECT_EQ(label(labelName), c.label);
        EXPECT_EQ(window->progressCurrent(c.channel), c.current);
        EXPECT_EQ(
            progressPercent(window->progressCurrent(c.channel), window->progressMaximum(c.channel)),
            c.percent);
        // The ring shown is the ring of that percentage.
        QImage expected = makeRingSurface(80);
        drawProgressRing(expected, c.percent, toQColor(clBtnFace));
        const char* imageName = c.channel == 1 ? "Image1" : "Image2";
        EXPECT_EQ(child<QLabel>(imageName)->pixmap().toImage().convertToFormat(expected.format()),
                  expected);
    }
}

TEST(ProgressArithmetic, PercentagesAndSweepsTruncate) {
    struct Case {
        qint64 current, maximum;
        int percent, sweep;
    };
    const Case cases[] = {
        {0, 0, 0, 0},
        {1, 3, 33, 118},
        {2, 3, 66, 237},
        {1, 2, 50, 180},
        {11, 11, 100, 360},
        {999, 1000, 99, 356},
        // Past 21,474,836 rows a 32-bit current x 100 would overflow.
        {21'474'837, 42'949'675, 49, 176},
        {3'000'000'000, 4'000'000'000, 75, 270},
        {std::numeric_limits<qint64>::max() / 2, std::numeric_limits<qint64>::max(), 49, 176},
        {std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::max(), 100, 360},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.current) + " of " + std::to_string(c.maximum));
        EXPECT_EQ(progressPercent(c.current, c.maximum), c.percent);
        EXPECT_EQ(progressSweep(c.percent), c.sweep);
    }
    EXPECT_EQ(progressLabel(3, 11), QStringLiteral("Step 3 of 11"));
}

bool near(const QColor& a, const QColor& b, int tolerance = 24) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// The ring's pixels where track, arc, hole and disc lie on an 80 x 80 surface: the track
// and the arc run on the circle through (4, 39.5), (75, 39.5), (39.5, 4), (39.5, 75).
TEST_F(ProgressTest, RingPixelsShowTrackArcHoleAndText) {
    const QColor back = toQColor(clBtnFace);
    const QColor white(255, 255, 255);
    const QColor track = kRingTrack;
    const QColor arc = kRingArc;
    ASSERT_EQ(track, QColor(152, 152, 152));
    ASSERT_EQ(arc, QColor(254, 175, 83));

    struct Point {
        QPoint at;
        QColor colour;
    };
    struct Case {
        qint64 current, maximum;
        int percent;
        std::vector<Point> points;
    };
    const Case cases[] = {
        {0,
         0,
         0,
         {
             {{0, 0}, back},
             {{79, 79}, back}, // corners outside the disc
             {{39, 1}, white},
             {{1, 40}, white}, // the disc outside the track
             {{39, 4}, track},
             {{75, 40}, track},
             {{39, 75}, track},
             {{4, 40}, track},
             {{14, 40}, back},
             {{65, 40}, back}, // the hole beside the text
         }},
        {1,
         2,
         50,
         {
             {{0, 0}, back},
             {{75, 40}, arc}, // the right half is swept
             {{64, 15}, arc},
             {{64, 64}, arc},
             {{4, 40}, track}, // the left half is not
             {{15, 15}, track},
             {{14, 40}, back},
         }},
        {5,
         5,
         100,
         {
             {{0, 0}, back},
             {{75, 40}, arc},
             {{4, 40}, arc},
             {{39, 75}, arc},
             {{39, 4}, arc},
             {{15, 15}, arc},
             {{14, 40}, back},
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.percent);
        window->InitialiseProgress(1, c.maximum);
        for (qint64 i = 0; i < c.current; ++i)
            window->StepProgress(1);
        const QImage ring = child<QLabel>("Image1")->pixmap().toImage();
        ASSERT_EQ(ring.size(), QSize(80, 80));
        for (const Point& p : c.points) {
            SCOPED_TRACE(std::to_string(p.at.x()) + "," + std::to_string(p.at.y()));
            EXPECT_TRUE(near(ring.pixelColor(p.at), p.colour))
                << ring.pixelColor(p.at).name().toStdString() << " expected "
                << p.colour.name().toStdString();
        }
        // No arc colour anywhere at 0 %.
        if (c.percent == 0) {
            int arcPixels = 0;
            for (int y = 0; y < 80; ++y)
                for (int x = 0; x < 80; ++x)
                    arcPixels += near(ring.pixelColor(x, y), arc, 40) ? 1 : 0;
            EXPECT_EQ(arcPixels, 0);
        }
        // The percentage text in the track's grey, centred in the hole.
        int left = 80, right = -1, top = 80, bottom = -1;
        for (int y = 10; y < 70; ++y) {
            for (int x = 10; x < 70; ++x) {
                const double r = std::hypot(x - 39.5, y - 39.5);
                if (r > 28 || ring.pixelColor(x, y) == back)
                    continue;
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
        ASSERT_GE(right, left) << "no text drawn";
        EXPECT_NEAR((left + right) / 2.0, 39.5, 2.5);
        EXPECT_NEAR((top + bottom) / 2.0, 39.5, 4.0);
        EXPECT_GT(right - left, 15);
    }
}

TEST_F(ProgressTest, RingBackgroundIsTheWindowsFaceColour) {
    window->InitialiseProgress(2, 0);
    const QImage ring = child<QLabel>("Image2")->pixmap().toImage();
    const QImage shot = window->grab().toImage();
    // The window's outer edge shows its face colour.
    EXPECT_EQ(ring.pixelColor(0, 0), shot.pixelColor(0, 0));
    EXPECT_EQ(ring.pixelColor(0, 0), QApplication::palette().color(QPalette::Button));
}

} // namespace
