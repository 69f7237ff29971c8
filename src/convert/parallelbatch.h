#pragma once

#include "convert/batchrun.h"

#include <QStringList>

namespace tunevale {

struct EncoderSettings;

// Converts a list of files with up to `jobs` conversions at once, each job with its own reader,
// writer and information component configured from the settings value. Rows begin in list
// order, each named and given its options (BatchObserver::nextRowOptions) as it begins.
//
// The observer hears from the calling thread only, so a window may update itself directly:
// each row's log lines in list order, exactly as a one-job run gives them; the status line;
// the whole run's progress; yield() at least every few tens of milliseconds while waiting.
// A stop request ends every row in progress after its block in progress and begins no other.
class ParallelBatch {
public:
    explicit ParallelBatch(int jobs);

    // Returns the number of rows begun.
    int run(const QStringList& rows, const EncoderSettings& settings, BatchObserver& observer);

private:
    int m_jobs;
};

} // namespace tunevale
