#pragma once

#include <QStringList>

#include <memory>

class TMainForm;

// The start-up sequence: settings, registry, command line, then the windows in their order.
class Startup final
{
public:
    Startup(QString exeFolder, QString exePath, QStringList arguments);
    ~Startup();

    // Runs everything up to the event loop; the main window is shown by the loop.
    TMainForm *run();
    TMainForm *mainForm() const { return m_mainForm.get(); }

    static bool splashSuppressed(const QStringList &arguments);

private:
    QString m_exeFolder;
    QString m_exePath;
    QStringList m_arguments;
    std::unique_ptr<TMainForm> m_mainForm;
};
