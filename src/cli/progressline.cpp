#include "cli/progressline.h"

#include "common/audio/audioinformation.h"
#include "common/displaytext.h"
#include "common/nativepath.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace tunevale {

namespace {

constexpr qint64 kRedrawMs = 250;

QString clockText(qint64 ms)
{
    const qint64 seconds = ms / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QChar(u'0'))
        .arg(seconds / 60 % 60, 2, 10, QChar(u'0'))
        .arg(seconds % 60, 2, 10, QChar(u'0'));
}

} // namespace

ProgressLine::ProgressLine(std::FILE* terminal, const QStringList& sources, bool enabled)
    : m_terminal(terminal)
    , m_sources(sources)
    , m_enabled(enabled)
{}

QString ProgressLine::rowText(const QString& name, double percent, qint64 durationMs,
                              qint64 elapsedMs)
{
    QString text = QStringLiteral("%1 %2%").arg(name).arg(int(percent));
    if (durationMs <= 0)
        return text;
    const auto converted = qint64(double(durationMs) * percent / 100);
    text += QStringLiteral(" time=") + clockText(converted);
    if (elapsedMs > 0)
        text += QStringLiteral(" speed=%1x").arg(double(converted) / double(elapsedMs), 0, 'f', 1);
    return text;
}

void ProgressLine::update(const std::vector<std::pair<qsizetype, double>>& running)
{
    if (!m_enabled || (m_lastDraw.isValid() && m_lastDraw.elapsed() < kRedrawMs))
        return;
    QStringList parts;
    for (const auto& [row, percent] : running) {
        auto found = m_rows.find(row);
        if (found == m_rows.end()) {
            Row added;
            added.started.start();
            AudioInformation information;
            if (information.open(m_sources.value(row)))
                added.durationMs = information.durationMs();
            found = m_rows.insert(row, added);
        }
        const QString name = m_sources.value(row).section(u'/', -1);
        parts << rowText(displayText(name), percent, found->durationMs, found->started.elapsed());
    }
    m_lastDraw.start();
    if (parts.isEmpty())
        return;
    // A line longer than the terminal would wrap, and "\r" could not take it back.
    const QString line = parts.join(QStringLiteral(" | ")).left(width() - 1);
    std::fputs("\r", m_terminal);
    std::fputs(nativePath(line).constData(), m_terminal);
    std::fputs("\x1b[K", m_terminal);
    std::fflush(m_terminal);
    m_shown = true;
}

void ProgressLine::clear()
{
    if (!m_shown)
        return;
    std::fputs("\r\x1b[K", m_terminal);
    std::fflush(m_terminal);
    m_shown = false;
}

int ProgressLine::width() const
{
    winsize size = {};
    if (::ioctl(::fileno(m_terminal), TIOCGWINSZ, &size) == 0 && size.ws_col > 1)
        return size.ws_col;
    return 80;
}

} // namespace tunevale
