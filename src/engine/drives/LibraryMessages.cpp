#include "engine/drives/LibraryMessages.h"
#include "base/StdErr.h"
#include "base/SystemError.h"

#include "engine/drives/SenseTable.h"

#include <QByteArray>

#include <array>
#include <cstdio>
#include <cstring>

namespace Drives {

int severityRank(const QString &severity)
{
    static const std::array<const char *, 11> names {"ALL",   "DEBUG",  "UPDATE",  "NOTE",  "HINT", "WARNING",
                                                     "SORRY", "MISHAP", "FAILURE", "FATAL", "ABORT"};
    for (size_t i = 0; i < names.size(); ++i) {
        if (severity.compare(QLatin1String(names[i]), Qt::CaseInsensitive) == 0)
            return int(i) - 1;
    }
    return severityRank(QStringLiteral("WARNING"));
}

bool isDebug(const LibraryMessage &message)
{
    return severityRank(message.severity) <= 0;
}

QString describe(const LibraryMessage &message)
{
    QString text = message.text.trimmed();
    if (message.osErrno != 0)
        text += QStringLiteral(" (%1)").arg(SystemErrorText(message.osErrno));
    return text;
}

void logMessage(const LibraryMessage &message)
{
    StdErr::line(QStringLiteral("kestrane: %1 %2 0x%3: %4")
                     .arg(message.library, message.severity)
                     .arg(uint(message.code), 8, 16, QLatin1Char('0'))
                     .arg(describe(message)));
}

void logLine(const QString &text)
{
    StdErr::line(QStringLiteral("kestrane: ") + text);
}

WriteErrorReport reportFailure(const std::vector<LibraryMessage> &messages, const QString &sourceError)
{
    WriteErrorReport report;
    if (!sourceError.isEmpty()) {
        report.writeError = EngineCodes::ImageUnreadable;
        report.errorInfo = sourceError;
        return report;
    }
    // The first error names the cause; libburn follows it with summaries such as "Burn run failed".
    // Without an error the most severe message explains best.
    const int sorry = severityRank(QStringLiteral("SORRY"));
    int best = -1;
    for (int i = 0; i < int(messages.size()) && best < 0; ++i) {
        if (severityRank(messages[size_t(i)].severity) >= sorry)
            best = i;
    }
    const bool noError = best < 0;
    for (int i = 0; noError && i < int(messages.size()); ++i) {
        if (!isDebug(messages[size_t(i)]) &&
            (best < 0 ||
             severityRank(messages[size_t(i)].severity) > severityRank(messages[size_t(best)].severity)))
            best = i;
    }
    // Sense data may sit in any message of the job, DEBUG included; the last one is the failing command.
    std::optional<Sense> sense;
    int senseIndex = -1;
    for (int i = 0; i < int(messages.size()); ++i) {
        if (const std::optional<Sense> found = parseSense(messages[size_t(i)].text)) {
            if (found->key != 0 || found->asc != 0) {
                sense = found;
                senseIndex = i;
            }
        }
    }
    if (best < 0)
        best = senseIndex;
    report.usedMessage = best;
    report.errorInfo = best >= 0 ? describe(messages[size_t(best)])
                                 : QStringLiteral("The drive library reported a failure without a reason");
    if (sense) {
        report.writeError = EngineCodes::DriveSenseError;
        report.driveError = driveErrorFor(*sense);
        report.senseInfo = sense->text();
    }
    return report;
}

} // namespace Drives
