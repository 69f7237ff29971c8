#include "convert/parallelbatch.h"
#include "settings/encodersettings.h"

#include "support/fixtures.h"
#include "support/qtprinters.h"
#include "support/signals.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <vector>

using namespace tunevale;
using namespace tunevale::test;

namespace {

// Sends every row after the first to another folder, as a user changing the output choice
// during the run would, and keeps what the run reports.
class SwitchingObserver final : public BatchObserver {
public:
    explicit SwitchingObserver(QString laterFolder)
        : m_laterFolder(std::move(laterFolder))
    {}

    void logLine(const QString& line) override { lines << line; }
    void progressChanged(double percent) override { progress.push_back(percent); }
    void rowFinished(const RowResult& result) override { results.push_back(result); }
    BatchOptions nextRowOptions(const BatchOptions& current) override
    {
        BatchOptions options = current;
        if (m_asked++ > 0)
            options.outputFolder = m_laterFolder;
        return options;
    }

    QStringList lines;
    std::vector<double> progress;
    std::vector<RowResult> results;

private:
    QString m_laterFolder;
    int m_asked = 0;
};

TEST(ParallelBatch, AsksEachRowsOptionsAsItBeginsAndReportsInListOrder)
{
    TempDir dir;
    TempDir later;
    QStringList rows;
    for (int row = 0; row < 5; ++row) {
        rows << dir.file(QStringLiteral("s%1.wav").arg(row));
        // The first rows are the longest, so later rows tend to finish first.
        ASSERT_TRUE(writePcmWav(rows.last(), sine(440, 22050, 2, 2.0 - 0.3 * row), 22050, 2));
    }
    EncoderSettings settings;
    settings.TargetFormat = OutputKind::Wav;
    SwitchingObserver observer(later.path() + QDir::separator());
    EXPECT_EQ(ParallelBatch(3).run(rows, settings, observer), 5);

    ASSERT_EQ(observer.results.size(), 5u);
    EXPECT_EQ(observer.results[0].output, dir.file(QStringLiteral("New_s0.wav")));
    for (int row = 1; row < 5; ++row) {
        EXPECT_EQ(observer.results[size_t(row)].output,
                  later.file(QStringLiteral("s%1.wav").arg(row)));
        EXPECT_TRUE(observer.results[size_t(row)].saved);
        EXPECT_TRUE(QFileInfo::exists(observer.results[size_t(row)].output));
    }
    ASSERT_EQ(observer.lines.size(), 15);
    for (int row = 0; row < 5; ++row)
        EXPECT_TRUE(observer.lines[3 * row].endsWith(rows[row])) << row;
    ASSERT_FALSE(observer.progress.empty());
    EXPECT_DOUBLE_EQ(observer.progress.back(), 100.0);
    EXPECT_TRUE(std::is_sorted(observer.progress.begin(), observer.progress.end()));
}

struct LineRecorder final : BatchObserver {
    void logLine(const QString& line) override { lines << line.mid(line.indexOf(u": ")); }
    QStringList lines;
};

// A row that lost fields says so right after its ": Saved - " line, however the jobs finish;
// the rows beside it keep their three lines.
TEST(ParallelBatch, NotKeptLineFollowsItsRowInListOrder)
{
    TempDir dir;
    QStringList rows;
    for (int row = 0; row < 4; ++row) {
        rows << dir.file(QStringLiteral("s%1.ogg").arg(row));
        const QStringList metadata =
            row % 2 ? args({"-metadata", "track=3/12", "-metadata", "ISRC=USX9P0100001"})
                    : args({"-metadata", "track=3"});
        ASSERT_TRUE(makeWithFfmpeg(rows.last(), sine(440, 22050, 1, 1.5 - 0.3 * row), 22050, 1,
                                   args({"-c:a", "libvorbis"}) + metadata));
    }
    EncoderSettings settings;
    settings.TargetFormat = OutputKind::Wma;
    LineRecorder observer;
    EXPECT_EQ(ParallelBatch(3).run(rows, settings, observer), 4);

    QStringList expected;
    for (int row = 0; row < 4; ++row) {
        const QString output = dir.file(QStringLiteral("s%1.wma").arg(row));
        expected << QStringLiteral(": Reading - ") + rows[row]
                 << QStringLiteral(": Converting - s%1.wma").arg(row)
                 << QStringLiteral(": Saved - ") + output;
        if (row % 2)
            expected << QStringLiteral(": Not kept - ") + output + QStringLiteral(": track total");
    }
    EXPECT_EQ(observer.lines, expected);
}

} // namespace
