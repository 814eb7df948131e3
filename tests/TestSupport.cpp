#include "TestSupport.h"

#include "app/MessageBox.h"

#include <QDir>
#include <QFile>

#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

QByteArray TestSupport::readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return file.readAll();
}

void TestSupport::writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

bool TestSupport::waitForMessage(const QString &text, int timeoutMs)
{
    return waitFor(
        [&] {
            for (const auto &shown : MessageBoxSeam::shown()) {
                if (shown.text == text)
                    return true;
            }
            return false;
        },
        timeoutMs);
}

QStringList TestSupport::runUnprivileged(const std::function<QStringList()> &body)
{
    int fds[2];
    if (::pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        ::close(fds[0]);
        // 65534 is "nobody" on Debian.
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        const QByteArray out = body().join(QLatin1Char('\n')).toUtf8();
        const ssize_t written = ::write(fds[1], out.constData(), static_cast<size_t>(out.size()));
        ::_exit(written == out.size() ? 0 : 4);
    }
    ::close(fds[1]);
    QByteArray out;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fds[0], buffer, sizeof buffer)) > 0)
        out.append(buffer, got);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("unprivileged child failed");
    return QString::fromUtf8(out).split(QLatin1Char('\n'));
}

bool TestSupport::mimeToolRunning(const QString &folder)
{
    const QByteArray needle = QFile::encodeName(folder);
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &pid : pids) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!cmdline.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = cmdline.readAll();
        if (line.contains("update-mime-database") && line.contains(needle))
            return true;
    }
    return false;
}

bool TestSupport::waitForMimeTool(const QString &folder, int timeoutMs)
{
    return waitFor([&folder] { return !mimeToolRunning(folder); }, timeoutMs);
}
