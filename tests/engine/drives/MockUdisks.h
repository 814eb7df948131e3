#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A private D-Bus bus with the UDisks2 stand-in of udisks2-mock.py on it: a USB stick and a system
// disk, each a plain file in a temporary folder. The program finds it through DBUS_SYSTEM_BUS_ADDRESS,
// so nothing reaches the machine's own system bus or disks. One per test program: the engine keeps
// its UDisks2 connection for the run.
class MockUdisks final
{
public:
    static constexpr qint64 StickBytes = 64 * 1024 * 1024;
    static constexpr qint64 SystemBytes = 16 * 1024 * 1024;

    // Starts the bus and the stand-in once; false (with the reason in `error()`) when they cannot run.
    static MockUdisks &instance();
    bool running() const { return m_running; }
    QString error() const { return m_error; }

    QString stickFile() const { return m_dir.filePath(QStringLiteral("stick.img")); }
    QString systemFile() const { return m_dir.filePath(QStringLiteral("system.img")); }
    // What the stick and the system disk hold before a test writes: a pattern, "old" partitions.
    static QByteArray oldStickContent();
    static QByteArray systemContent();
    // Fills both files afresh and puts the stand-in back into mode "ok" with the stick plugged in.
    void reset();
    // "ok", "busy" or "not-authorised".
    void setMode(const QString &mode);
    void plug(bool in);
    // The calls the stand-in received since the last reset, one line each ("OpenDevice <path> rw ...").
    QStringList calls() const;

    ~MockUdisks();

private:
    MockUdisks();
    bool control(const QString &method, const QVariantList &arguments = {});

    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_mock;
    QString m_address;
    bool m_running = false;
    QString m_error;
};
