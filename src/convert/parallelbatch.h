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
// A stop request ends every row in progress after its block in progress and begins no other;
// a cancel request also discards those rows' unfinished outputs.
class ParallelBatch {
public:
    // ifExists: what a row does when its output's name is taken.
    explicit ParallelBatch(int jobs, IfExists ifExists = IfExists::New);

    // How outputs below a chosen folder are named; and for each row added from a folder, the
    // folder it had below that one (empty or missing: added on its own).
    void setNaming(const NamingRules& rules, const QStringList& relativeFolders);

    // Returns the number of rows begun.
    int run(const QStringList& rows, const EncoderSettings& settings, BatchObserver& observer);

private:
    int m_jobs;
    IfExists m_ifExists;
    NamingRules m_rules;
    QStringList m_relativeFolders;
};

} // namespace tunevale
