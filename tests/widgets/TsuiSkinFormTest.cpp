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

// Where the skin paints the shape itself, what it leaves transparent is exactly what the mask cuts.
TEST_P(SkinRegion, ThePaintedShapeIsTheMask)
{
    const RegionRow &row = GetParam();
    const QImage picture = pictureFrom(row.picture);
    const QImage shaped = TsuiSkinForm::shapedPicture(picture, QColor(255, 0, 255));
    ASSERT_EQ(shaped.size(), picture.size());
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const bool inside = row.shape[y][x] == '#';
            EXPECT_EQ(qAlpha(shaped.pixel(x, y)), inside ? 255 : 0) << x << "," << y;
            if (inside) {
                EXPECT_EQ(shaped.pixel(x, y), picture.pixel(x, y)) << x << "," << y;
            }
        }
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

// The form rendered onto a transparent picture of its size, as a translucent window's surface.
QImage surfaceOf(QWidget &skin, qreal ratio = 1)
{
    QImage surface(skin.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    surface.setDevicePixelRatio(ratio);
    surface.fill(Qt::transparent);
    skin.render(&surface, QPoint(), QRegion(), QWidget::DrawChildren);
    return surface.convertToFormat(QImage::Format_ARGB32);
}

TEST(SkinForm, PaintingTheShapeLeavesTheCutOutPixelsTransparent)
{
    QWidget form;
    auto *skin = new TsuiSkinForm(&form);
    EXPECT_FALSE(skin->PaintsShape()); // not on the offscreen platform
    EXPECT_FALSE(form.testAttribute(Qt::WA_TranslucentBackground));
    skin->setGlyph(pictureFrom({".####.", "######", ".####."}));
    // The mask alone cuts the shape: the skin draws its whole picture.
    EXPECT_EQ(surfaceOf(*skin).pixelColor(0, 0), QColor(255, 0, 255));

    skin->setPaintsShape(true);
    EXPECT_TRUE(form.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_FALSE(skin->testAttribute(Qt::WA_OpaquePaintEvent));
    const QImage surface = surfaceOf(*skin);
    for (const QPoint corner : {QPoint(0, 0), QPoint(5, 0), QPoint(0, 2), QPoint(5, 2)})
        EXPECT_EQ(surface.pixelColor(corner).alpha(), 0) << corner.x() << "," << corner.y();
    EXPECT_EQ(surface.pixelColor(1, 0), QColor(Qt::blue));
    EXPECT_EQ(surface.pixelColor(0, 1), QColor(Qt::blue));
    // The mask stays, so that the pointer passes through the corners.
    EXPECT_EQ(form.mask(), TsuiSkinForm::regionFromPicture(skin->Glyph(), QColor(255, 0, 255)));
}

TEST(SkinForm, AFinerPictureSizesAndShapesTheFormInPoints)
{
    const QImage plain = pictureFrom({".####..", "#######", ".####.."});
    QImage fine = plain.scaled(plain.size() * 2); // every pixel doubled
    fine.setDevicePixelRatio(2);
    QWidget form;
    auto *skin = new TsuiSkinForm(&form);
    skin->setGlyph(fine);
    EXPECT_EQ(form.size(), QSize(7, 3));
    EXPECT_EQ(skin->geometry(), QRect(0, 0, 7, 3));
    EXPECT_EQ(form.mask(), TsuiSkinForm::regionFromPicture(plain, QColor(255, 0, 255)));

    // Painted at one pixel per point it fills the form, not a quarter of it twice as large.
    skin->setPaintsShape(true);
    const QImage surface = surfaceOf(*skin);
    EXPECT_EQ(surface.size(), QSize(7, 3));
    EXPECT_EQ(surface.pixelColor(1, 0), QColor(Qt::blue));
    EXPECT_EQ(surface.pixelColor(5, 1), QColor(Qt::blue));
    EXPECT_EQ(surface.pixelColor(0, 0).alpha(), 0);
    // At twice the pixels, the picture's own: the last point of each row is cut, both its pixels.
    const QImage twice = surfaceOf(*skin, 2);
    EXPECT_EQ(twice.size(), QSize(14, 6));
    EXPECT_EQ(twice.pixelColor(11, 2), QColor(Qt::blue));
    EXPECT_EQ(twice.pixelColor(12, 2).alpha(), 0);
    EXPECT_EQ(twice.pixelColor(13, 2).alpha(), 0);
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
