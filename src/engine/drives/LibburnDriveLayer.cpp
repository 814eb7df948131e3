#include <cstdint>
// libburn.h first: it puts its API in namespace burn.
#include <libburn/libburn.h>

#include "engine/drives/LibburnDriveLayer.h"

#include "engine/Libraries.h"
#include "engine/drives/ImageFileSource.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <array>
#include <sys/stat.h>
#include <vector>

namespace Drives {

// libburn's message queue, drained by the layer itself so that it can see a refusal of its own calls
// before the engine takes the rest.
class MessageStash final
{
public:
    void drain()
    {
        int code = 0;
        int osErrno = 0;
        char text[BURN_MSGS_MESSAGE_LEN] = {};
        char severity[80] = {};
        while (burn::burn_msgs_obtain(const_cast<char *>("ALL"), &code, text, &osErrno, severity) == 1)
            m_messages.push_back(
                LibraryMessage {code, QString::fromLatin1(severity), osErrno, QString::fromLocal8Bit(text)});
    }

    std::vector<LibraryMessage> takeAll()
    {
        drain();
        return std::exchange(m_messages, {});
    }

    // libburn ends its worker thread a little after the drive reads idle; until then it refuses the
    // next job with this message. True when such a refusal was queued (and is dropped).
    bool takeBusyRefusal()
    {
        drain();
        const auto refusal = std::find_if(m_messages.begin(), m_messages.end(),
                                          [](const LibraryMessage &m) { return m.code == BusyRefusalCode; });
        if (refusal == m_messages.end())
            return false;
        m_messages.erase(refusal);
        return true;
    }

private:
    static constexpr int BusyRefusalCode = 0x00020102; // "A drive operation is still going on"
    std::vector<LibraryMessage> m_messages;
};

namespace {

using namespace burn;

// File-backed drives: one fsync from libburn at the end of the track (1), 64 KB per write.
constexpr int StdioFsync = 1;
constexpr int StdioChunk = 64 * 1024;
constexpr int64_t BlockBytes = 2048;
// How long a scan may take before it is given up.
constexpr int ScanBoundMs = 30000;

// Profiles libburn can write: a drive that knows one of them is a writer.
constexpr std::array WritableProfiles {0x09, 0x0a, 0x11, 0x12, 0x13, 0x14, 0x15,
                                       0x16, 0x1a, 0x1b, 0x2a, 0x2b, 0x41, 0x43};

void submit(burn_drive *drive, const QString &text, const char *severity = "SORRY")
{
    QByteArray bytes = text.toUtf8().left(BURN_MSGS_MESSAGE_LEN - 1);
    burn_msgs_submit(0, bytes.data(), 0, const_cast<char *>(severity), drive);
}

std::vector<int> profilesOf(burn_drive *drive)
{
    int count = 0;
    int profiles[64] = {};
    char current[64] = {};
    std::vector<int> result;
    if (burn_drive_get_all_profiles(drive, &count, profiles, current) == 1)
        result.assign(profiles, profiles + std::clamp(count, 0, 64));
    if (burn_drive_get_drive_role(drive) != 1)
        result.push_back(0xffff);
    return result;
}

QString fixedText(const char *text, size_t length)
{
    return QString::fromLatin1(text, qsizetype(strnlen(text, length))).trimmed();
}

DiscStatus statusOf(burn_disc_status status)
{
    switch (status) {
    case BURN_DISC_BLANK:
        return DiscStatus::Blank;
    case BURN_DISC_EMPTY:
        return DiscStatus::Empty;
    case BURN_DISC_APPENDABLE:
        return DiscStatus::Appendable;
    case BURN_DISC_FULL:
        return DiscStatus::Full;
    case BURN_DISC_UNSUITABLE:
        return DiscStatus::Unsuitable;
    default:
        return DiscStatus::Unknown;
    }
}

// Runs a libburn call that starts a job, again while libburn's previous worker is still winding down.
template<typename Start>
void startWhenLibburnIsFree(burn_drive *drive, MessageStash &stash, Start start)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        start();
        if (burn_drive_get_status(drive, nullptr) != BURN_DRIVE_IDLE || !stash.takeBusyRefusal())
            return;
        QThread::msleep(50);
    }
}

// The pieces of one burn, freed once the drive is idle again.
struct WriteSetup
{
    burn_disc *disc = nullptr;
    burn_session *session = nullptr;
    burn_track *track = nullptr;
    burn_write_opts *opts = nullptr;

    ~WriteSetup()
    {
        if (opts)
            burn_write_opts_free(opts);
        if (track)
            burn_track_free(track);
        if (session)
            burn_session_free(session);
        if (disc)
            burn_disc_free(disc);
    }
};

class LibburnDrive final : public Drive
{
public:
    LibburnDrive(const DriveDescription &description, std::shared_ptr<MessageStash> stash)
        : m_description(description)
        , m_stash(std::move(stash))
    { }

    ~LibburnDrive() override
    {
        if (m_drive) {
            if (burn_drive_get_status(m_drive, nullptr) != BURN_DRIVE_IDLE) {
                burn_drive_cancel(m_drive);
                for (int i = 0; i < 500 && burn_drive_get_status(m_drive, nullptr) != BURN_DRIVE_IDLE; ++i)
                    QThread::msleep(10);
            }
            m_write.reset();
            release(false);
        }
    }

    bool acquire() override
    {
        if (m_drive)
            return true;
        QByteArray address = m_description.address.toLocal8Bit();
        burn_drive_info *info = nullptr;
        if (burn_drive_scan_and_grab(&info, address.data(), 1) != 1 || !info)
            return false;
        m_info = info;
        m_drive = info[0].drive;
        return true;
    }

    bool isAcquired() const override { return m_drive != nullptr; }

    void release(bool eject) override
    {
        if (!m_drive)
            return;
        burn_drive_release(m_drive, eject ? 1 : 0);
        burn_drive_info_free(m_info);
        m_drive = nullptr;
        m_info = nullptr;
    }

    MediumInfo medium() override
    {
        MediumInfo info;
        if (!m_drive)
            return info;
        burn_disc_status status = burn_disc_get_status(m_drive);
        // A drive that has just been given a disc may need a moment to tell what it holds.
        for (int i = 0; i < 20 && status == BURN_DISC_UNREADY; ++i) {
            QThread::msleep(100);
            status = burn_disc_get_status(m_drive);
        }
        info.status = statusOf(status);
        char name[80] = {};
        int profile = 0;
        if (burn_disc_get_profile(m_drive, &profile, name) == 1)
            info.profile = profile;
        info.freeBytes = int64_t(burn_disc_available_space(m_drive, nullptr));
        info.maxWriteSpeed = burn_drive_get_write_speed(m_drive);
        info.driveProfiles = profilesOf(m_drive);
        return info;
    }

    QByteArray readStart(int64_t bytes) override
    {
        if (!m_drive || burn_drive_get_status(m_drive, nullptr) != BURN_DRIVE_IDLE)
            return {};
        QByteArray data(qsizetype(bytes), '\0');
        off_t count = 0;
        // bit1|bit2: a blank medium fails to read, which says what it holds; neither logged nor retried.
        if (burn_read_data(m_drive, 0, data.data(), off_t(bytes), &count, 2 | 4) <= 0 ||
            count != off_t(bytes))
            return {};
        return data;
    }

    bool startWrite(const WriteRequest &request) override
    {
        if (!m_drive)
            return false;
        resetJob();
        const burn_disc_status status = burn_disc_get_status(m_drive);
        if (status != BURN_DISC_BLANK && status != BURN_DISC_APPENDABLE) {
            submit(m_drive,
                   QStringLiteral("The medium in %1 cannot be written: it is neither blank nor "
                                  "appendable")
                       .arg(m_description.devicePath));
            return false;
        }
        m_readState = std::make_shared<ImageReadState>();
        burn_source *source = createImageFileSource(request.imagePath, request.imageBytes, m_readState);
        if (!source) {
            submit(m_drive, m_readState->error());
            return false;
        }
        auto setup = std::make_unique<WriteSetup>();
        setup->disc = burn_disc_create();
        setup->session = burn_session_create();
        setup->track = burn_track_create();
        burn_disc_add_session(setup->disc, setup->session, BURN_POS_END);
        burn_track_define_data(setup->track, 0, 0, 1, BURN_MODE1);
        const bool sourceSet = burn_track_set_source(setup->track, source) == BURN_SOURCE_OK;
        burn_source_free(source); // the track holds its own reference
        if (!sourceSet || burn_session_add_track(setup->session, setup->track, BURN_POS_END) != 1) {
            submit(m_drive, QStringLiteral("Cannot attach the image file to the burn"));
            return false;
        }

        setup->opts = burn_write_opts_new(m_drive);
        if (!setup->opts) {
            submit(m_drive, QStringLiteral("Cannot create the write options"));
            return false;
        }
        if (request.sessionAtOnce)
            burn_write_opts_set_write_type(setup->opts, BURN_WRITE_SAO, BURN_BLOCK_SAO);
        else
            burn_write_opts_set_write_type(setup->opts, BURN_WRITE_TAO, BURN_BLOCK_MODE1);
        burn_write_opts_set_simulate(setup->opts, request.simulate ? 1 : 0);
        burn_write_opts_set_underrun_proof(setup->opts, request.underrunProtection ? 1 : 0);
        burn_write_opts_set_multi(setup->opts, request.closeDisc ? 0 : 1);
        burn_write_opts_set_perform_opc(setup->opts, 1);
        if (burn_drive_get_drive_role(m_drive) != 1) {
            // A file-backed drive writes like cp: larger chunks, and the system's write-back with one
            // fsync at the end (a burn is complete only once its data is on the disk) instead of
            // libburn's fsync every 16 MB, which halves the speed on a disk.
            burn_write_opts_set_stdio_fsync(setup->opts, StdioFsync);
            burn_write_opts_set_dvd_obs(setup->opts, StdioChunk);
        }

        char reasons[BURN_REASONS_LEN] = {};
        if (burn_write_opts_auto_write_type(setup->opts, setup->disc, reasons, 1) == BURN_WRITE_NONE) {
            // The medium does not take the asked write type: let libburn pick one that fits it.
            submit(m_drive,
                   QStringLiteral("Write type not usable on this medium (%1), choosing another")
                       .arg(QString::fromLocal8Bit(reasons)),
                   "NOTE");
            if (burn_write_opts_auto_write_type(setup->opts, setup->disc, reasons, 0) == BURN_WRITE_NONE)
                return false;
        }
        if (burn_precheck_write(setup->opts, setup->disc, reasons, 0) <= 0)
            return false;

        // Where the track goes, for reading it back: past the sessions already on an appendable disc.
        int trackLba = 0;
        int nextWritable = 0;
        m_trackStart = burn_disc_track_lba_nwa(m_drive, setup->opts, 0, &trackLba, &nextWritable) == 1
            ? nextWritable
            : 0;
        burn_drive_set_speed(m_drive, 0, request.speedKBs);
        startWhenLibburnIsFree(m_drive, *m_stash, [&] { burn_disc_write(setup->opts, setup->disc); });
        m_write = std::move(setup);
        m_jobStarted = true;
        return true;
    }

    bool startErase(bool quick) override
    {
        if (!m_drive)
            return false;
        resetJob();
        const MediumInfo info = medium();
        switch (info.profile) {
        case 0x0a: // CD-RW
        case 0x13: // DVD-RW restricted overwrite
        case 0x14: // DVD-RW sequential
            if (info.status == DiscStatus::Blank && info.profile != 0x13)
                return finishAtOnce(true); // nothing on it to erase
            startWhenLibburnIsFree(m_drive, *m_stash, [&] { burn_disc_erase(m_drive, quick ? 1 : 0); });
            m_jobStarted = true;
            return true;
        case 0x1a: // DVD+RW
        case 0x2a:
        case 0x12: // DVD-RAM
        case 0x43: // BD-RE
            if (quick) {
                // Overwritable media have no table of contents: clearing the first 64 KB removes the
                // volume descriptors, which is what a quick erase leaves behind on other media.
                std::vector<char> zeros(64 * 1024, 0);
                return finishAtOnce(
                    burn_random_access_write(m_drive, 0, zeros.data(), off_t(zeros.size()), 1) == 1);
            }
            // bit4 re-formats formatted media, size mode 2 (bits 1-2) keeps the full size,
            // bit6 skips the lengthy certification of DVD-RAM and BD-RE.
            startWhenLibburnIsFree(m_drive, *m_stash, [&] { burn_disc_format(m_drive, 0, 16 | 4 | 64); });
            m_jobStarted = true;
            return true;
        default:
            submit(m_drive,
                   QStringLiteral("The medium in %1 is not rewritable").arg(m_description.devicePath));
            return false;
        }
    }

    Progress progress() override
    {
        Progress result;
        if (m_atOnce)
            return result;
        if (!m_drive || !m_jobStarted)
            return result;
        burn_progress p {};
        const burn_drive_status status = burn_drive_get_status(m_drive, &p);
        result.busy = status != BURN_DRIVE_IDLE;
        result.sector = std::max(0, p.sector);
        result.sectors = std::max(0, p.sectors);
        result.closing = status == BURN_DRIVE_WRITING_LEADOUT || status == BURN_DRIVE_CLOSING_TRACK ||
            status == BURN_DRIVE_CLOSING_SESSION || status == BURN_DRIVE_WRITING_SYNC;
        return result;
    }

    JobOutcome outcome() override
    {
        JobOutcome result;
        if (m_atOnce) {
            result.succeeded = m_atOnceOk;
        } else if (m_drive && m_jobStarted) {
            result.succeeded = burn_drive_wrote_well(m_drive) == 1;
        }
        result.trackStartSector = m_trackStart;
        if (m_readState) {
            result.sourceError = m_readState->error();
            if (!result.sourceError.isEmpty())
                result.succeeded = false;
        }
        m_write.reset();
        if (m_drive && burn_drive_get_drive_role(m_drive) == 1)
            burn_drive_re_assess(m_drive, 0); // learn the new state of the medium
        return result;
    }

    void cancel() override
    {
        if (m_drive && m_jobStarted)
            burn_drive_cancel(m_drive);
    }

    int64_t dataBytes() override
    {
        if (!m_drive)
            return -1;
        if (burn_drive_get_drive_role(m_drive) != 1) {
            // A virtual drive's disc is its file, to the byte; libburn would pad its last block.
            struct stat st
            {
            };
            const QByteArray path = QFile::encodeName(m_description.devicePath);
            return ::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) ? int64_t(st.st_size) : -1;
        }
        const int64_t tracksEnd = lastDataTrackEnd();
        if (tracksEnd > 0)
            return tracksEnd * BlockBytes;
        // Overwritable media have no tracks: what the drive says it can read.
        int capacity = 0;
        if (burn_get_read_capacity(m_drive, &capacity, 0) == 1 && capacity > 0)
            return int64_t(capacity) * BlockBytes;
        return -1;
    }

    bool read(int64_t offset, char *buffer, int64_t bytes) override
    {
        if (!m_drive)
            return false;
        const int64_t whole = bytes / BlockBytes * BlockBytes;
        off_t count = 0;
        if (whole > 0 &&
            (burn_read_data(m_drive, off_t(offset), buffer, off_t(whole), &count, 0) != 1 || count != whole))
            return false;
        if (whole == bytes)
            return true;
        // The last piece of a virtual drive's file: libburn reads a whole block, fills it up with zeros
        // and reports the short read, which is no error here.
        std::array<char, BlockBytes> block {};
        count = 0;
        if (burn_read_data(m_drive, off_t(offset + whole), block.data(), off_t(BlockBytes), &count, 2) != 1)
            return false;
        std::copy_n(block.data(), size_t(bytes - whole), buffer + whole);
        return true;
    }

private:
    // The end of the medium's last data track in blocks (audio tracks are not read as data), or -1.
    int64_t lastDataTrackEnd() const
    {
        burn_disc *disc = burn_drive_get_disc(m_drive);
        if (!disc)
            return -1;
        int64_t end = -1;
        int sessionCount = 0;
        burn_session **sessions = burn_disc_get_sessions(disc, &sessionCount);
        for (int s = 0; s < sessionCount; ++s) {
            int trackCount = 0;
            burn_track **tracks = burn_session_get_tracks(sessions[s], &trackCount);
            for (int t = 0; t < trackCount; ++t) {
                burn_toc_entry entry {};
                burn_track_get_entry(tracks[t], &entry);
                const bool data = (entry.control & 4) != 0;
                if (data && (entry.extensions_valid & 1))
                    end = std::max<int64_t>(end, int64_t(entry.start_lba) + entry.track_blocks);
            }
        }
        burn_disc_free(disc);
        return end;
    }

    void resetJob()
    {
        m_trackStart = 0;
        m_write.reset();
        m_readState.reset();
        m_jobStarted = false;
        m_atOnce = false;
        m_atOnceOk = false;
    }

    bool finishAtOnce(bool ok)
    {
        m_atOnce = true;
        m_atOnceOk = ok;
        return true;
    }

    DriveDescription m_description;
    std::shared_ptr<MessageStash> m_stash;
    burn_drive_info *m_info = nullptr;
    burn_drive *m_drive = nullptr;
    std::unique_ptr<WriteSetup> m_write;
    std::shared_ptr<ImageReadState> m_readState;
    bool m_jobStarted = false;
    int64_t m_trackStart = 0;
    bool m_atOnce = false;
    bool m_atOnceOk = false;
};

} // namespace

LibburnDriveLayer::LibburnDriveLayer()
    : m_stash(std::make_shared<MessageStash>())
{ }

LibburnDriveLayer::~LibburnDriveLayer() = default;

bool LibburnDriveLayer::start()
{
    if (!EngineLibraries::ensureBurnInit())
        return false;
    // Everything is queued for the engine, which turns it into events or log lines; DEBUG is queued
    // too because libburn reports SCSI sense data at that level.
    burn_msgs_set_severities(const_cast<char *>("DEBUG"), const_cast<char *>("NEVER"),
                             const_cast<char *>("libburn : "));
    return true;
}

std::vector<DriveDescription> LibburnDriveLayer::scan()
{
    std::vector<DriveDescription> found;
    burn_drive_info *infos = nullptr;
    unsigned int count = 0;
    int done = 0;
    // A scan answers "not yet" while libburn still probes the buses; a bus that never settles must
    // not keep the drive thread forever.
    const QDeadlineTimer deadline(ScanBoundMs);
    for (int attempt = 0; attempt < 100; ++attempt) {
        while ((done = burn_drive_scan(&infos, &count)) == 0 && !deadline.hasExpired())
            QThread::usleep(1000);
        if (done > 0 || deadline.hasExpired() || !m_stash->takeBusyRefusal())
            break;
        QThread::msleep(50);
    }
    if (done == 0) {
        submit(nullptr, QStringLiteral("The drive scan did not end within %1 s").arg(ScanBoundMs / 1000));
        return found;
    }
    if (done < 0 || !infos)
        return found;
    for (unsigned int i = 0; i < count; ++i) {
        char address[BURN_DRIVE_ADR_LEN] = {};
        if (burn_drive_get_adr(&infos[i], address) > 0) {
            DriveDescription description;
            description.vendor = fixedText(infos[i].vendor, sizeof(infos[i].vendor));
            description.product = fixedText(infos[i].product, sizeof(infos[i].product));
            description.address = QString::fromLocal8Bit(address);
            description.devicePath = description.address;
            const std::vector<int> profiles = profilesOf(infos[i].drive);
            description.writer = infos[i].write_cdr || infos[i].write_cdrw || infos[i].write_dvdr ||
                infos[i].write_dvdram || std::any_of(profiles.begin(), profiles.end(), [](int p) {
                                     return std::find(WritableProfiles.begin(), WritableProfiles.end(), p) !=
                                         WritableProfiles.end();
                                 });
            found.push_back(description);
        }
        // Keep no drive locked: each is opened again when it is used.
        burn_drive_info_forget(&infos[i], 0);
    }
    burn_drive_info_free(infos);
    return found;
}

std::unique_ptr<Drive> LibburnDriveLayer::drive(const DriveDescription &description)
{
    return std::make_unique<LibburnDrive>(description, m_stash);
}

std::vector<LibraryMessage> LibburnDriveLayer::takeMessages()
{
    return m_stash->takeAll();
}

} // namespace Drives
