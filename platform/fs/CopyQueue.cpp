#include "platform/fs/CopyQueue.h"

#include "platform/fs/KeepAlive.h"

#include <dirent.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <system_error>
#include <utility>

namespace platform {

namespace {

// While a flush lasts, the next batch grows up to this many copies or
// bytes; then writing waits for the flush. A free flush takes a batch once
// it holds a few copies: each flush also writes the folder's and the
// files' bookkeeping blocks again, which a batch of one would pay per file.
constexpr std::size_t kMostCopies = 256;
constexpr std::uint64_t kMostBytes = std::uint64_t{64} << 20;
constexpr std::size_t kFewestCopies = 64;
constexpr std::uint64_t kFewestBytes = std::uint64_t{4} << 20;

// How often a wait for the flush lets the run answer its desktop.
constexpr std::chrono::milliseconds kBeatEvery{50};

// Descriptors kept free for the rest of the program and for what staging a
// copy opens for a moment (its source, a Trash being opened).
constexpr std::size_t kSpareDescriptors = 64;
// The most a staged copy holds: its folder, its temporary file and the
// .trashinfo of the file it replaces.
constexpr std::size_t kMostPerCopy = 3;

std::size_t OpenDescriptors()
{
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir)
        return kSpareDescriptors;
    std::size_t count = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.')
            ++count;
    }
    ::closedir(dir);
    return count;
}

// How many descriptors the copies waiting in the queue may hold in all:
// what the process may open, less what it has open and a spare.
std::size_t DescriptorBudget()
{
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return kMostCopies * kMostPerCopy * 2;
    const std::size_t used = OpenDescriptors() + kSpareDescriptors;
    const auto allowed = static_cast<std::size_t>(limit.rlim_cur);
    return allowed > used ? allowed - used : 0;
}

}  // namespace

void RaiseOpenFileLimit()
{
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

CopyQueue::CopyQueue() : m_descriptorBudget(DescriptorBudget())
{
}

CopyQueue::~CopyQueue()
{
    if (!m_flusher.joinable())
        return;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_ending = true;
    }
    m_changed.notify_all();
    m_flusher.join();  // after a flush under way: it uses the batch's files
}

detail::CopyOutcome CopyQueue::Add(const detail::CopyRequest& request, Done done)
{
    Copy copy;
    copy.done = std::move(done);
    copy.error = detail::StageCopy(request, copy.staged, copy.outcome);
    if (copy.staged) {
        m_fillingBytes += detail::StagedBytes(*copy.staged);
        m_fillingDescriptors += detail::DescriptorsHeld(*copy.staged);
    }
    m_filling.push_back(std::move(copy));
    detail::CopyOutcome where = m_filling.back().outcome;
    // The next copy must find its descriptors too, whatever it holds.
    const bool noRoom = m_fillingDescriptors + m_flushingDescriptors + kMostPerCopy > m_descriptorBudget;
    const bool full = m_filling.size() >= kMostCopies || m_fillingBytes >= kMostBytes || noRoom;
    const bool enough = m_filling.size() >= kFewestCopies || m_fillingBytes >= kFewestBytes;
    if (full || (enough && (m_flushing.empty() || FlushDone()))) {
        PlaceFlushed();
        StartFlush();
    }
    return where;
}

void CopyQueue::Settle()
{
    PlaceFlushed();
    if (m_filling.empty())
        return;
    StartFlush();
    PlaceFlushed();
}

void CopyQueue::FlushWhenAsked()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_flushAsked || m_ending; });
        if (!m_flushAsked)
            return;
        const std::vector<detail::FlushItem> items = std::move(m_toFlush);
        lock.unlock();
        std::vector<int> errors = detail::FlushStaged(items);
        lock.lock();
        m_flushErrors = std::move(errors);
        m_flushAsked = false;
        m_flushDone = true;
        m_changed.notify_all();
    }
}

void CopyQueue::StartFlush()
{
    m_flushing = std::move(m_filling);
    m_filling.clear();
    m_fillingBytes = 0;
    m_flushingDescriptors = m_fillingDescriptors;
    m_fillingDescriptors = 0;
    std::vector<detail::FlushItem> items;
    for (const Copy& copy : m_flushing) {
        if (copy.staged)
            items.push_back(detail::FlushItemOf(*copy.staged));
    }
    if (!m_flusher.joinable()) {
        try {
            m_flusher = std::thread([this] { FlushWhenAsked(); });
        } catch (const std::system_error&) {
            // No thread to be had: this one flushes, and writes meanwhile nothing.
            m_flushErrors = detail::FlushStaged(items);
            m_flushDone = true;
            return;
        }
    }
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_toFlush = std::move(items);
        m_flushAsked = true;
        m_flushDone = false;
    }
    m_changed.notify_all();
}

bool CopyQueue::FlushDone()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_flushDone;
}

void CopyQueue::PlaceFlushed()
{
    if (m_flushing.empty())
        return;
    std::vector<int> errors;
    {
        // A flush of much data can take a while: the run answers its
        // desktop meanwhile.
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_changed.wait_for(lock, kBeatEvery, [this] { return m_flushDone; })) {
            lock.unlock();
            KeepAlive::Beat();
            lock.lock();
        }
        errors = std::move(m_flushErrors);
        m_flushDone = false;
    }
    Batch batch = std::move(m_flushing);
    m_flushing.clear();
    m_flushingDescriptors = 0;  // released as each copy is placed, all of them by the end
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
