#include "widgets/RatioPicture.h"
#include "widgets/ArtworkFiles.h"
#include "widgets/TsuiPicture.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace {

const QColor Plain(200, 30, 30);
const QColor High(30, 30, 200);

QImage filled(QSize size, const QColor &colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// What lies in the folder: the plain picture and its "@2x" file, each absent, a picture of a size, or
// a file that is no picture.
struct File
{
    enum Kind { Missing, Picture, Garbage } kind = Missing;
    QSize size;
};
const File Missing {};
const File Garbage {File::Garbage, {}};
File picture(int width, int height)
{
    return {File::Picture, {width, height}};
}

void place(const QString &path, const File &file, const QColor &colour)
{
    if (file.kind == File::Picture) {
        ASSERT_TRUE(filled(file.size, colour).save(path, "PNG"));
    }
    if (file.kind == File::Garbage) {
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("not a picture");
    }
}

struct ReadRow
{
    const char *name;
    File plain;
    File high;
    qreal ratio;
    std::optional<QColor> shown; // none: nothing could be read
    qreal pixelRatio;
};

class ReadForRatio : public ::testing::TestWithParam<ReadRow>
{
};

TEST_P(ReadForRatio, TakesTheFinerDrawingOnlyWhenItFits)
{
    const ReadRow &row = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Skin.png"));
    place(path, row.plain, Plain);
    place(dir.filePath(QStringLiteral("Skin@2x.png")), row.high, High);

    const QImage image = RatioPicture::read(path, row.ratio);
    if (!row.shown) {
        EXPECT_TRUE(image.isNull());
        return;
    }
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixelColor(0, 0), *row.shown);
    EXPECT_EQ(image.devicePixelRatio(), row.pixelRatio);
    // Whichever file was read, it takes the plain picture's room.
    EXPECT_EQ(image.deviceIndependentSize().toSize(), QSize(40, 20));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReadForRatio,
    ::testing::Values(ReadRow {"one_pixel_per_point", picture(40, 20), picture(80, 40), 1, Plain, 1},
                      ReadRow {"twice", picture(40, 20), picture(80, 40), 2, High, 2},
                      ReadRow {"between", picture(40, 20), picture(80, 40), 1.5, High, 2},
                      ReadRow {"no_finer_drawing", picture(40, 20), Missing, 2, Plain, 1},
                      // A finer file of another size would move what is laid out by the plain size.
                      ReadRow {"finer_of_the_wrong_size", picture(40, 20), picture(40, 20), 2, Plain, 1},
                      ReadRow {"finer_not_a_picture", picture(40, 20), Garbage, 2, Plain, 1},
                      ReadRow {"only_the_finer", Missing, picture(80, 40), 2, High, 2},
                      ReadRow {"nothing", Missing, Missing, 2, std::nullopt, 1}),
    [](const auto &testInfo) { return std::string(testInfo.param.name); });

struct FitRow
{
    const char *name;
    QSize pixels;
    qreal own;
    qreal ratio;
    QSize expectedPixels;
    qreal expectedRatio;
};

class FitToRatio : public ::testing::TestWithParam<FitRow>
{
};

TEST_P(FitToRatio, ResamplesToTheScreensPixelsInTheSameRoom)
{
    const FitRow &row = GetParam();
    QImage image = filled(row.pixels, High);
    image.setDevicePixelRatio(row.own);
    const QImage out = RatioPicture::fitted(image, row.ratio);
    EXPECT_EQ(out.size(), row.expectedPixels);
    EXPECT_EQ(out.devicePixelRatio(), row.expectedRatio);
    EXPECT_EQ(out.deviceIndependentSize().toSize(), image.deviceIndependentSize().toSize());
    // Smooth resampling of one colour keeps the colour.
    EXPECT_EQ(out.pixelColor(out.width() / 2, out.height() / 2), High);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FitToRatio,
    ::testing::Values(FitRow {"same_ratio", {80, 40}, 2, 2, {80, 40}, 2},
                      FitRow {"finer_to_between", {80, 40}, 2, 1.5, {60, 30}, 1.5},
                      // 61 points at 1.5 is 91.5 pixels: rounded, and still 61 points of room.
                      FitRow {"finer_to_a_fraction", {264, 122}, 2, 1.5, {198, 92}, 1.5},
                      FitRow {"finer_to_one", {80, 40}, 2, 1, {40, 20}, 1},
                      // Blowing up a plain picture adds nothing the painter would not do.
                      FitRow {"plain_stays_plain", {40, 20}, 1, 1.5, {40, 20}, 1}),
    [](const auto &testInfo) { return std::string(testInfo.param.name); });

TEST(RatioPicture, AButtonsKeyColourLeavesNoFringeWhenResampled)
{
    // A blue square on the key colour, drawn at twice the size, read for a screen between.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage plain = filled({10, 10}, QColor(255, 0, 255));
    QImage high = filled({20, 20}, QColor(255, 0, 255));
    for (int y = 6; y < 14; ++y)
        for (int x = 6; x < 14; ++x)
            high.setPixelColor(x, y, Qt::blue);
    const QString path = dir.filePath(QStringLiteral("Button.png"));
    ASSERT_TRUE(plain.save(path, "PNG"));
    ASSERT_TRUE(high.save(dir.filePath(QStringLiteral("Button@2x.png")), "PNG"));

    const TsuiPicture picture = TsuiPicture::fromFile(path, 1.5);
    EXPECT_EQ(picture.size(), QSize(10, 10));
    const QImage keyed = picture.keyedBitmap().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(keyed.devicePixelRatio(), 1.5);
    ASSERT_EQ(keyed.size(), QSize(15, 15));
    int seen = 0;
    for (int y = 0; y < keyed.height(); ++y) {
        for (int x = 0; x < keyed.width(); ++x) {
            const QColor c = keyed.pixelColor(x, y);
            if (c.alpha() == 0)
                continue;
            ++seen;
            EXPECT_EQ(c.red(), 0) << x << "," << y << " keeps some of the key colour";
        }
    }
    EXPECT_GT(seen, 0);
    EXPECT_EQ(keyed.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(keyed.pixelColor(7, 7), QColor(Qt::blue));
}

// The pictures the build drew for the windows: each finer drawing is twice its plain picture's size and drawn
// at that size, not the plain picture blown up.
TEST(ShippedPictures, EachHasAFinerDrawingOfTwiceTheSize)
{
    const QString folder = QStringLiteral(KESTRANE_PROGRAM_DIR "/");
    using ArtworkFiles::ButtonState;
    QStringList files {ArtworkFiles::skin()};
    for (const ArtworkFiles::Face &face : ArtworkFiles::ButtonFaces)
        for (ButtonState state : {ButtonState::Normal, ButtonState::MouseOn, ButtonState::MouseDown})
            files << ArtworkFiles::button(face.name, state);
    for (const char *name : ArtworkFiles::Banners)
        files << ArtworkFiles::banner(name);
    for (const ArtworkFiles::Face &face : ArtworkFiles::PageLabels)
        files << ArtworkFiles::pageLabel(face.name);
    for (int i = 0; i < ArtworkFiles::ImageListCount; ++i)
        files << ArtworkFiles::imageList(i);
    files << ArtworkFiles::about() << QStringLiteral("Image/Kestrane.jpg");

    for (const QString &file : files) {
        SCOPED_TRACE(file.toStdString());
        const QImage plain(folder + file);
        const QImage high(folder + ArtworkFiles::atHighRatio(file));
        ASSERT_FALSE(plain.isNull());
        ASSERT_FALSE(high.isNull());
        EXPECT_EQ(high.size(), plain.size() * 2);
        EXPECT_TRUE(high.convertToFormat(QImage::Format_ARGB32) !=
                    plain.scaled(plain.size() * 2).convertToFormat(QImage::Format_ARGB32));
    }
}

} // namespace
