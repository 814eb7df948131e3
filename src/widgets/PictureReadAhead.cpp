#include "widgets/PictureReadAhead.h"

#include "widgets/ArtworkFiles.h"
#include "widgets/LowPriority.h"

#include <png.h>

#include <QtEndian>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>

namespace {

std::atomic<PictureReadAhead *> s_current {nullptr};

std::uint32_t bigEndian32(const unsigned char *at)
{
    return qFromBigEndian<std::uint32_t>(at);
}

// Only these chunks: any other (gamma, colour profile, transparency, text) is one Qt reads its own way.
bool plainChunks(const std::vector<unsigned char> &file, PictureReadAhead::Pixels &pixels)
{
    static constexpr unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (file.size() < 8 + 25 || std::memcmp(file.data(), signature, 8) != 0)
        return false;
    std::size_t at = 8;
    bool first = true;
    while (at + 12 <= file.size()) {
        const std::uint32_t length = bigEndian32(&file[at]);
        const std::string_view type(reinterpret_cast<const char *>(&file[at + 4]), 4);
        if (length > file.size() - at - 12)
            return false;
        const unsigned char *data = &file[at + 8];
        if (first) {
            // 8-bit samples, RGB (2) or RGBA (6), not interlaced.
            if (type != "IHDR" || length != 13 || data[8] != 8 || (data[9] != 2 && data[9] != 6) ||
                data[12] != 0)
                return false;
            pixels.alpha = data[9] == 6;
            first = false;
        } else if (type == "pHYs") {
            if (length == 9 && data[8] == 1) {
                pixels.dotsPerMeterX = static_cast<int>(bigEndian32(data));
                pixels.dotsPerMeterY = static_cast<int>(bigEndian32(data + 4));
            }
        } else if (type == "IEND") {
            return true;
        } else if (type != "IDAT") {
            return false;
        }
        at += 12 + length;
    }
    return false;
}

} // namespace

PictureReadAhead::PictureReadAhead(QStringList files)
    : m_files(std::move(files))
{
    for (const QString &file : std::as_const(m_files))
        m_states.insert(file, State::Waiting);
    m_thread = std::thread([this] {
        LowerThisThreadsPriority();
        run();
    });
    s_current.store(this);
}

PictureReadAhead::~PictureReadAhead()
{
    s_current.store(nullptr);
    stop();
    m_thread.join();
}

QStringList PictureReadAhead::startUpPictures(const QString &exeFolder)
{
    using ArtworkFiles::ButtonState;
    // In the order the main window makes its parts: the skin, the frame's buttons (with the page
    // buttons) and the banners, then the pages' labels, list icons (both drawings: an icon holds both)
    // and buttons, then the About window.
    QStringList files {exeFolder + ArtworkFiles::skin()};
    const auto addFaces = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            for (ButtonState state : {ButtonState::Normal, ButtonState::MouseOn, ButtonState::MouseDown})
                files.append(exeFolder + ArtworkFiles::button(ArtworkFiles::ButtonFaces[i].name, state));
        }
    };
    constexpr std::size_t frameFaces = 9;
    static_assert(std::string_view(ArtworkFiles::ButtonFaces[frameFaces - 1].name) == "Close");
    addFaces(0, frameFaces);
    for (const char *name : ArtworkFiles::Banners)
        files.append(exeFolder + ArtworkFiles::banner(name));
    for (const ArtworkFiles::Face &label : ArtworkFiles::PageLabels)
        files.append(exeFolder + ArtworkFiles::pageLabel(label.name));
    for (int i = 0; i < ArtworkFiles::ImageListCount; ++i) {
        files.append(exeFolder + ArtworkFiles::imageList(i));
        files.append(exeFolder + ArtworkFiles::atHighRatio(ArtworkFiles::imageList(i)));
    }
    addFaces(frameFaces, ArtworkFiles::ButtonFaces.size());
    files.append(exeFolder + ArtworkFiles::about());
    return files;
}

std::optional<QImage> PictureReadAhead::take(const QString &path)
{
    PictureReadAhead *current = s_current.load();
    return current ? current->takeFile(path) : std::nullopt;
}

void PictureReadAhead::discard()
{
    if (PictureReadAhead *current = s_current.load())
        current->stop();
}

std::optional<PictureReadAhead::Pixels> PictureReadAhead::decode(const QString &path)
{
    std::ifstream in(path.toLocal8Bit().toStdString(), std::ios::binary);
    if (!in)
        return std::nullopt;
    const std::vector<unsigned char> file {std::istreambuf_iterator<char>(in),
                                           std::istreambuf_iterator<char>()};
    Pixels pixels;
    if (!plainChunks(file, pixels))
        return std::nullopt;

    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size()))
        return std::nullopt;
    // QImage keeps a pixel as one 32-bit word 0xAARRGGBB, whatever the byte order.
    image.format = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? PNG_FORMAT_BGRA : PNG_FORMAT_ARGB;
    pixels.width = static_cast<int>(image.width);
    pixels.height = static_cast<int>(image.height);
    pixels.bytes.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.bytes.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    return pixels;
}

QImage PictureReadAhead::toImage(std::shared_ptr<const Pixels> pixels)
{
    // The image draws from the decoded rows themselves: copying them would touch as much fresh memory
    // again, and on a virtual machine that costs as much as the decoding. A change to the image makes
    // it a copy of its own.
    const Pixels &rows = *pixels;
    if (rows.width <= 0 || rows.height <= 0)
        return {};
    auto *keep = new std::shared_ptr<const Pixels>(std::move(pixels));
    QImage image(
        rows.bytes.data(), rows.width, rows.height, qsizetype(rows.width) * 4,
        rows.alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32,
        [](void *kept) { delete static_cast<std::shared_ptr<const Pixels> *>(kept); }, keep);
    if (rows.dotsPerMeterX > 0 && rows.dotsPerMeterY > 0) {
        image.setDotsPerMeterX(rows.dotsPerMeterX);
        image.setDotsPerMeterY(rows.dotsPerMeterY);
    }
    return image;
}

std::optional<QImage> PictureReadAhead::takeFile(const QString &path)
{
    QMutexLocker lock(&m_lock);
    const auto state = m_states.find(path);
    if (state == m_states.end() || m_stopped)
        return std::nullopt;
    if (*state == State::Reading)
        return std::nullopt; // the thread is low in priority: the caller reads it rather than waits
    if (*state == State::Waiting) {
        // Not reached yet: the caller reads it, and the thread skips it.
        *state = State::Skipped;
        return std::nullopt;
    }
    const std::shared_ptr<const Pixels> pixels = m_pixels.value(path);
    lock.unlock();
    if (!pixels)
        return std::nullopt;
    // The image is made on the asking thread: before the application exists, only plain memory is.
    return toImage(pixels);
}

void PictureReadAhead::stop()
{
    QMutexLocker lock(&m_lock);
    m_stopped = true;
    m_pixels.clear();
}

void PictureReadAhead::run()
{
    for (const QString &file : std::as_const(m_files)) {
        {
            QMutexLocker lock(&m_lock);
            if (m_stopped)
                return;
            State &state = m_states[file];
            if (state != State::Waiting)
                continue;
            state = State::Reading;
        }
        std::optional<Pixels> pixels = decode(file);
        std::shared_ptr<const Pixels> read =
            pixels ? std::make_shared<const Pixels>(*std::move(pixels)) : nullptr;
        QMutexLocker lock(&m_lock);
        m_states[file] = State::Read;
        if (!m_stopped && read)
            m_pixels.insert(file, std::move(read));
    }
}
