#include "ImageTestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace ImageTest {

void writeFile(const QString &path, const QByteArray &content)
{
    makeDirs(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(content), content.size());
}

void makeDirs(const QString &path)
{
    ASSERT_TRUE(QDir().mkpath(path)) << path.toStdString();
}

void makeSymlink(const QString &target, const QString &linkPath)
{
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(linkPath).constData()), 0);
}

void makeFifo(const QString &path)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
}

QByteArray patterned(qint64 size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = 2654435761u * static_cast<quint32>(seed + 1);
    for (qint64 i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = static_cast<char>(x);
    }
    return bytes;
}

ProcessResult run(const QString &program, const QStringList &args, int timeoutMs)
{
    ProcessResult result;
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

bool extractWithBsdtar(const QString &iso, const QString &dir)
{
    QDir().mkpath(dir);
    const ProcessResult r =
        run(QStringLiteral("bsdtar"), {QStringLiteral("-xf"), iso, QStringLiteral("-C"), dir});
    if (r.exitCode != 0)
        ADD_FAILURE() << "bsdtar: " << r.err.toStdString();
    return r.exitCode == 0;
}

bool extractWithXorriso(const QString &iso, const QString &dir)
{
    const ProcessResult r = run(QStringLiteral("xorriso"),
                                {QStringLiteral("-osirrox"), QStringLiteral("on"), QStringLiteral("-indev"),
                                 iso, QStringLiteral("-extract"), QStringLiteral("/"), dir});
    if (r.exitCode != 0)
        ADD_FAILURE() << "xorriso: " << r.err.toStdString();
    return r.exitCode == 0;
}

bool extractWith7z(const QString &iso, const QString &dir)
{
    const ProcessResult r = run(QStringLiteral("7z"),
                                {QStringLiteral("x"), QStringLiteral("-y"), QStringLiteral("-o") + dir, iso});
    if (r.exitCode != 0)
        ADD_FAILURE() << "7z: " << r.out.toStdString();
    return r.exitCode == 0;
}

namespace {

QByteArray linkTarget(const QString &path)
{
    char buffer[4096];
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), buffer, sizeof buffer);
    return n < 0 ? QByteArray() : QByteArray(buffer, static_cast<int>(n));
}

bool sameContent(const QString &a, const QString &b)
{
    QFile fa(a);
    QFile fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    while (!fa.atEnd()) {
        if (fa.read(1 << 20) != fb.read(1 << 20))
            return false;
    }
    return true;
}

void compareFolder(const QString &source, const QString &extracted, const QString &relative,
                   const std::function<QString(const QString &)> &rename, QStringList &differences)
{
    const QDir::Filters filter = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    QStringList expected;
    for (const QFileInfo &info : QDir(source).entryInfoList(filter, QDir::Name)) {
        if (!info.isSymLink() && !info.isDir() && !info.isFile())
            continue; // FIFOs, sockets and devices stay out of images
        const QString name = rename ? rename(info.fileName()) : info.fileName();
        expected << name;
        const QString rel = relative + QLatin1Char('/') + name;
        const QFileInfo other(extracted + QLatin1Char('/') + name);
        if (!other.exists() && !other.isSymLink()) {
            differences << QStringLiteral("missing: %1").arg(rel);
            continue;
        }
        if (info.isSymLink()) {
            if (!other.isSymLink() || linkTarget(info.filePath()) != linkTarget(other.filePath()))
                differences << QStringLiteral("symlink differs: %1").arg(rel);
        } else if (info.isDir()) {
            if (!other.isDir() || other.isSymLink())
                differences << QStringLiteral("not a folder: %1").arg(rel);
            else
                compareFolder(info.filePath(), other.filePath(), rel, rename, differences);
        } else if (!other.isFile() || other.isSymLink() || !sameContent(info.filePath(), other.filePath())) {
            differences << QStringLiteral("content differs: %1").arg(rel);
        }
    }
    for (const QString &name : QDir(extracted).entryList(filter, QDir::Name)) {
        if (!expected.contains(name))
            differences << QStringLiteral("unexpected: %1/%2").arg(relative, name);
    }
}

QByteArray readDescriptor(const QString &iso, int sector)
{
    QFile file(iso);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(qint64(sector) * 2048))
        return {};
    return file.read(2048);
}

} // namespace

QStringList compareTrees(const QString &source, const QString &extracted,
                         const std::function<QString(const QString &)> &rename)
{
    QStringList differences;
    compareFolder(source, extracted, QString(), rename, differences);
    return differences;
}

QString primaryVolumeId(const QString &iso)
{
    const QByteArray pvd = readDescriptor(iso, 16);
    if (pvd.size() < 72 || pvd.at(0) != 1)
        return {};
    return QString::fromLatin1(pvd.mid(40, 32)).trimmed();
}

QString jolietVolumeId(const QString &iso)
{
    for (int sector = 17; sector < 32; ++sector) {
        const QByteArray d = readDescriptor(iso, sector);
        if (d.size() < 2048 || static_cast<unsigned char>(d.at(0)) == 255)
            break;
        if (d.at(0) == 2 && d.mid(88, 2) == "%/") {
            const QByteArray raw = d.mid(40, 32);
            QString id;
            for (int i = 0; i + 1 < raw.size(); i += 2)
                id += QChar((static_cast<unsigned char>(raw.at(i)) << 8) |
                            static_cast<unsigned char>(raw.at(i + 1)));
            return id.trimmed();
        }
    }
    return {};
}

int runInChild(const std::function<int()> &body, int timeoutMs)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    if (pid < 0)
        return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int runAsNobody(const std::function<int()> &body, int timeoutMs)
{
    return runInChild(
        [&body] {
            const passwd *nobody = ::getpwnam("nobody");
            const uid_t uid = nobody ? nobody->pw_uid : 65534;
            const gid_t gid = nobody ? nobody->pw_gid : 65534;
            if (::getuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0))
                return 90;
            return body();
        },
        timeoutMs);
}

void openForOthers(const QString &path)
{
    QString current = QFileInfo(path).absoluteFilePath();
    while (!current.isEmpty() && current != QLatin1String("/")) {
        struct stat st
        {
        };
        const QByteArray native = QFile::encodeName(current);
        if (::stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode))
            ::chmod(native.constData(), (st.st_mode & 07777) | 0055);
        current = QFileInfo(current).path();
    }
}

EventLog::EventLog(TDVDWriterPro2 &engine)
{
    auto record = [](QList<Event> &list) {
        return [&list](const QString &parent, const QString &item, const QString &name, const QString &source,
                       bool isDir, const QDateTime &date, qint64 size) {
            list.append({parent, item, name, source, isDir, date, size});
        };
    };
    connect(&engine, &TDVDWriterPro2::OnISOItemAdded, this, record(added));
    connect(&engine, &TDVDWriterPro2::OnEnumISOItems, this, record(listed));
}

QStringList EventLog::addedPaths() const
{
    QStringList paths;
    for (const Event &e : added)
        paths << e.itemDest;
    return paths;
}

QStringList EventLog::listedPaths() const
{
    QStringList paths;
    for (const Event &e : listed)
        paths << e.itemDest;
    return paths;
}

void EventLog::clear()
{
    added.clear();
    listed.clear();
}

} // namespace ImageTest
