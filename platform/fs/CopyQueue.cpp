#include "platform/fs/CopyQueue.h"

#include <sys/resource.h>

#include <algorithm>
#include <system_error>
#include <utility>

namespace platform {

namespace {

// A batch is handed to the flush when it holds this many copies or bytes,
// or has waited this long: enough to make one flush serve many files,
// little enough that the Report list keeps up with the run.
constexpr std::size_t kMostCopies = 256;
constexpr std::uint64_t kMostBytes = std::uint64_t{64} << 20;
constexpr std::chrono::milliseconds kLongestWait{1000};

// Each waiting copy holds two descriptors (its folder and its temporary
// file), and two batches wait at once: the batch stays well within what
// the process may open.
std::size_t BatchLimit()
{
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return kMostCopies;
    const rlim_t spare = limit.rlim_cur > 256 ? (limit.rlim_cur - 128) / 4 : 1;
    return static_cast<std::size_t>(std::clamp<rlim_t>(spare, 1, kMostCopies));
}

}  // namespace

CopyQueue::CopyQueue() : m_batchLimit(BatchLimit())
{
}

CopyQueue::~CopyQueue()
{
    if (m_flush.valid())
        m_flush.wait();  // the flush uses the batch's files
}

detail::CopyOutcome CopyQueue::Add(const detail::CopyRequest& request, Done done)
{
    Copy copy;
    copy.done = std::move(done);
    copy.error = detail::StageCopy(request, copy.staged, copy.outcome);
    const auto now = std::chrono::steady_clock::now();
    if (m_filling.empty())
        m_fillingSince = now;
    if (copy.staged)
        m_fillingBytes += detail::StagedBytes(*copy.staged);
    m_filling.push_back(std::move(copy));
    detail::CopyOutcome where = m_filling.back().outcome;
    if (m_filling.size() >= m_batchLimit || m_fillingBytes >= kMostBytes || now - m_fillingSince >= kLongestWait) {
        PlaceFlushed();
        StartFlush(true);
    }
    return where;
}

void CopyQueue::Settle()
{
    PlaceFlushed();
    if (m_filling.empty())
        return;
    StartFlush(false);
    PlaceFlushed();
}

void CopyQueue::StartFlush(bool onSecondThread)
{
    m_flushing = std::move(m_filling);
    m_filling.clear();
    m_fillingBytes = 0;
    std::vector<detail::FlushItem> items;
    for (const Copy& copy : m_flushing) {
        if (copy.staged)
            items.push_back(detail::FlushItemOf(*copy.staged));
    }
    const auto flush = [items = std::move(items)] { return detail::FlushStaged(items); };
    if (onSecondThread) {
        try {
            m_flush = std::async(std::launch::async, flush);
            return;
        } catch (const std::system_error&) {
            // No thread to be had: this one flushes.
        }
    }
    std::promise<std::vector<int>> done;
    done.set_value(flush());
    m_flush = done.get_future();
}

void CopyQueue::PlaceFlushed()
{
    if (!m_flush.valid())
        return;
    const std::vector<int> errors = m_flush.get();
    Batch batch = std::move(m_flushing);
    m_flushing.clear();
    std::size_t flushed = 0;
    for (Copy& copy : batch) {
        int error = copy.error;
        if (copy.staged) {
            error = errors[flushed++];
            if (error == 0)
                error = detail::PlaceStaged(*copy.staged, copy.outcome);
            copy.staged.reset();
        }
        copy.done(error, copy.outcome);
    }
}

}  // namespace platform
