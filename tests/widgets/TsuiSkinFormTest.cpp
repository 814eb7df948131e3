#include "widgets/TsuiSkinForm.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <vector>

namespace {

// Builds a picture from rows of characters: '.' transparent (magenta), 'n' near-magenta, anything
// else opaque.
QImage pictureFrom(const std::vector<const char *> &rows)
{
    const int width = static_cast<int>(std::strlen(rows.front()));
    QImage image(width, static_cast<int>(rows.size()), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < width; ++x) {
            const char c = rows[y][x];
            image.setPixelColor(x, y,
                                c == '.'       ? QColor(255, 0, 255)
                                    : c == 'n' ? QColor(254, 0, 255)
                                               : Qt::blue);
        }
    }
    return image;
}

struct RegionRow
{
    const char *name;
    std::vector<const char *> picture;
    std::vector<const char *> shape; // '#' inside the region
};

class SkinRegion : public ::testing::TestWithParam<RegionRow>
{
};

TEST_P(SkinRegion, FollowsTheNonTransparentPixels)
{
    const RegionRow &row = GetParam();
    const QRegion region = TsuiSkinForm::regionFromPicture(pictureFrom(row.picture), QColor(255, 0, 255));
    for (int y = 0; y < static_cast<int>(row.shape.size()); ++y) {
        for (int x = 0; row.shape[y][x]; ++x)
            EXPECT_EQ(region.contains(QPoint(x, y)), row.shape[y][x] == '#') << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SkinRegion,
    ::testing::Values(RegionRow {"runs", {"..##..##.", ".#######."}, {"..##..##.", ".#######."}},
                      // The row's last pixel never belongs to the shape, whatever its colour.
                      RegionRow {"last_column", {"#####", "....#"}, {"####.", "....."}},
                      // Only the exact transparent colour is cut out.
                      RegionRow {"near_colour", {"n.n..", "....."}, {"#.#..", "....."}},
                      RegionRow {"all_transparent", {"....", "...."}, {"....", "...."}}),
    [](const auto &testInfo) { return std::string(testInfo.param.name); });

TEST(SkinForm, ShapesAndSizesItsFormFromThePicture)
{
    QWidget form;
    form.resize(500, 400);
    auto *skin = new TsuiSkinForm(&form);
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(skin->size(), QSize(200, 100)); // until a picture arrives
    EXPECT_EQ(skin->TransparentColor(), QColor(255, 0, 255));
    EXPECT_TRUE(form.mask().isEmpty());

    QSignalSpy changed(skin, &TsuiSkinForm::OnRegionChanged);
    skin->move(5, 5);
    const QImage glyph = pictureFrom({".####.", "######", ".####."});
    skin->setGlyph(glyph);
    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(form.size(), QSize(6, 3));
    EXPECT_EQ(skin->geometry(), QRect(0, 0, 6, 3));
    EXPECT_EQ(form.mask(), TsuiSkinForm::regionFromPicture(glyph, QColor(255, 0, 255)));

    skin->setTransparentColor(Qt::blue);
    EXPECT_EQ(changed.size(), 2);
    EXPECT_TRUE(form.mask().contains(QPoint(0, 0)));
    EXPECT_FALSE(form.mask().contains(QPoint(1, 0)));
    EXPECT_EQ(skin->grab().toImage().pixelColor(0, 0), QColor(255, 0, 255));
}

TEST(SkinForm, WithoutAPictureDrawsABlackFrame)
{
    QWidget form;
    auto *skin = new TsuiSkinForm(&form);
    QPalette p = skin->palette();
    p.setColor(QPalette::Window, Qt::white);
    skin->setPalette(p);
    skin->setAutoFillBackground(true);
    const QImage image = skin->grab().toImage();
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(199, 99), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(100, 50), QColor(Qt::white));
}

} // namespace
