#include "widgets/PictureReadAhead.h"

#include <QColorSpace>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace {

// What Qt's own reader makes of the file, which a picture read ahead must be to the last detail.
void expectAlikeQt(const QImage &readAhead, const QString &path)
{
    const QImage qt = QImageReader(path).read();
    ASSERT_FALSE(qt.isNull());
    EXPECT_EQ(readAhead.format(), qt.format());
    EXPECT_EQ(readAhead.size(), qt.size());
    EXPECT_TRUE(readAhead == qt) << "the pixels differ";
    EXPECT_EQ(readAhead.dotsPerMeterX(), qt.dotsPerMeterX());
    EXPECT_EQ(readAhead.dotsPerMeterY(), qt.dotsPerMeterY());
    EXPECT_EQ(readAhead.colorSpace(), qt.colorSpace());
    EXPECT_EQ(readAhead.textKeys(), qt.textKeys());
}

// Every picture the window reads at start-up is one the thread reads, and reads as Qt does.
TEST(PictureReadAhead, ReadsEveryShippedStartUpPictureAsQtDoes)
{
    const QStringList files = PictureReadAhead::startUpPictures(QStringLiteral(KESTRANE_PROGRAM_DIR "/"));
    ASSERT_FALSE(files.isEmpty());
    for (const QString &file : files) {
        SCOPED_TRACE(file.toStdString());
        const std::optional<PictureReadAhead::Pixels> pixels = PictureReadAhead::decode(file);
        ASSERT_TRUE(pixels.has_value()) << "left to Qt, so not read ahead";
        expectAlikeQt(PictureReadAhead::toImage(std::make_shared<const PictureReadAhead::Pixels>(*pixels)),
                      file);
    }
}

QImage gradient(QImage::Format format)
{
    QImage image(37, 11, format);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixelColor(x, y, QColor(x * 6, y * 20, 255 - x * 3, 40 + x * 5));
    return image;
}

struct MadeFile
{
    const char *name;
    std::function<bool(const QString &)> make;
    bool readAhead; // false: left to Qt
};

class PictureKinds : public ::testing::TestWithParam<MadeFile>
{
};

TEST_P(PictureKinds, ReadAheadAlikeQtOrLeftToQt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture.png"));
    ASSERT_TRUE(GetParam().make(path));
    const std::optional<PictureReadAhead::Pixels> pixels = PictureReadAhead::decode(path);
    ASSERT_EQ(pixels.has_value(), GetParam().readAhead);
    if (pixels)
        expectAlikeQt(PictureReadAhead::toImage(std::make_shared<const PictureReadAhead::Pixels>(*pixels)),
                      path);
}

bool saved(const QImage &image, const QString &path)
{
    return image.save(path, "PNG");
}

INSTANTIATE_TEST_SUITE_P(
    Files, PictureKinds,
    ::testing::Values(
        MadeFile {"Rgb", [](const QString &p) { return saved(gradient(QImage::Format_RGB32), p); }, true},
        MadeFile {"Rgba", [](const QString &p) { return saved(gradient(QImage::Format_ARGB32), p); }, true},
        MadeFile {"Palette",
                  [](const QString &p) {
                      return saved(gradient(QImage::Format_RGB32).convertToFormat(QImage::Format_Indexed8),
                                   p);
                  },
                  false},
        MadeFile {"Grey", [](const QString &p) { return saved(gradient(QImage::Format_Grayscale8), p); },
                  false},
        MadeFile {"SixteenBits", [](const QString &p) { return saved(gradient(QImage::Format_RGBA64), p); },
                  false},
        MadeFile {"WithText",
                  [](const QString &p) {
                      QImage image = gradient(QImage::Format_RGB32);
                      image.setText(QStringLiteral("Title"), QStringLiteral("a picture"));
                      return saved(image, p);
                  },
                  false},
        MadeFile {"WithColourProfile",
                  [](const QString &p) {
                      QImage image = gradient(QImage::Format_RGB32);
                      image.setColorSpace(QColorSpace::DisplayP3);
                      return saved(image, p);
                  },
                  false},
        MadeFile {"Garbage",
                  [](const QString &p) {
                      QFile out(p);
                      return out.open(QIODevice::WriteOnly) &&
                          out.write("\x89PNG\r\n\x1a\nnot a picture") > 0;
                  },
                  false},
        MadeFile {"CutShort",
                  [](const QString &p) {
                      if (!saved(gradient(QImage::Format_RGB32), p))
                          return false;
                      QFile file(p);
                      return file.resize(file.size() / 2);
                  },
                  false},
        MadeFile {"Missing", [](const QString &) { return true; }, false}),
    [](const ::testing::TestParamInfo<MadeFile> &row) { return std::string(row.param.name); });

// What was read is handed over as often as asked, an unlisted picture never, and none once thrown
// away or gone.
TEST(PictureReadAhead, HandsOverWhatItReadUntilDiscarded)
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.png"));
    const QString other = dir.filePath(QStringLiteral("other.png"));
    for (const QString &path : {first, other})
        ASSERT_TRUE(saved(gradient(QImage::Format_RGB32), path));
    {
        PictureReadAhead readAhead({first});
        // A small picture is read long before this: the thread must have reached it.
        std::this_thread::sleep_for(std::chrono::seconds(1));
        for (int time = 0; time < 2; ++time) {
            const std::optional<QImage> image = PictureReadAhead::take(first);
            ASSERT_TRUE(image.has_value()) << "not handed over the " << time << "th time";
            expectAlikeQt(*image, first);
        }
        EXPECT_FALSE(PictureReadAhead::take(other).has_value());
        PictureReadAhead::discard();
        EXPECT_FALSE(PictureReadAhead::take(first).has_value()) << "handed over after it was thrown away";
    }
    {
        PictureReadAhead readAhead({first});
    }
    EXPECT_FALSE(PictureReadAhead::take(first).has_value()) << "handed over by a read-ahead that is gone";
}

} // namespace
