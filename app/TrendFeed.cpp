#include "app/TrendFeed.h"

#include "platform/BackgroundWork.h"
#include "record/ReadingTable.h"

#include <memory>

namespace tolmar {

namespace {
// Fewer rows than this are summarised at once on the UI thread (about 3 ms).
constexpr std::size_t inlineRows = 65536;
} // namespace

void TrendFeed::sync()
{
    if (m_rebuilding)
        return; // the rebuild's end catches up
    if (m_table.generation() != m_generation) {
        rebuild();
        return;
    }
    if (m_cancelled || m_summary.size() >= m_table.size())
        return;
    for (std::size_t row = m_summary.size(); row < m_table.size(); ++row)
        m_summary.append(m_table.at(row));
    if (onChanged)
        onChanged();
}

void TrendFeed::rebuild()
{
    m_generation = m_table.generation();
    m_cancelled = false;
    m_summary.clear();
    if (m_table.size() < inlineRows) {
        // A few milliseconds at most: no worker, no progress bar.
        for (std::size_t row = 0; row < m_table.size(); ++row)
            m_summary.append(m_table.at(row));
        if (onChanged)
            onChanged();
        return;
    }
    struct Job {
        ReadingTableSnapshot rows;
        std::shared_ptr<WorkProgress> progress = std::make_shared<WorkProgress>();
        std::optional<TrendSummary> summary;
    };
    auto job = std::make_shared<Job>();
    job->rows = m_table.snapshot();
    m_rebuilding = true;
    m_work.start(
        "Summarising the trend", job->progress,
        [job] {
            job->summary = TrendSummary::build(job->rows, job->progress.get());
            job->rows = {};
        },
        [this, job] {
            m_rebuilding = false;
            // One of a table replaced since is made again; a cancelled one
            // leaves the trend empty until the table changes.
            if (!job->summary)
                m_cancelled = true;
            else if (m_table.generation() == m_generation)
                m_summary = std::move(*job->summary);
            sync();
            if (onChanged)
                onChanged();
        });
}

} // namespace tolmar
