#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/fs/FileSystemInternal.h"

namespace platform {

// The copies of a pass that are written but not yet in place. A copy's
// content must reach the disk before its name does (see FileCopy.cpp), and
// one flush for many files costs little more than one for a single file,
// so copies are put in place in batches: while one batch is flushed on a
// second thread, the next is written; then the flushed batch is put in
// place in the order the copies were added, and each copy is told its
// outcome, in that same order. A copy that could not even be written waits
// for its turn too, so outcomes are never told out of order.
//
// A batch is handed to the flush as soon as the flush is free, so batches
// grow to what is written while one flush lasts: many files where flushing
// is slow, few where it is quick, and never more than the descriptors the
// process may still open allow (each waiting copy holds some).
// Lets the process open as many files as the system allows it (the soft
// limit raised to the hard one), so that copies are made in large batches.
void RaiseOpenFileLimit();

class CopyQueue {
public:
    // Told once the copy is in place, or why it is not.
    using Done = std::function<void(int error, const detail::CopyOutcome& outcome)>;

    CopyQueue();
    // Waits for a flush under way, then drops every copy not yet in place:
    // nothing is replaced and nobody is told.
    ~CopyQueue();
    CopyQueue(const CopyQueue&) = delete;
    CopyQueue& operator=(const CopyQueue&) = delete;

    // Writes a copy and queues it; returns where it writes (folderKnown
    // false when it failed before it came to the destination's folder).
    detail::CopyOutcome Add(const detail::CopyRequest& request, Done done);
    // Puts every copy added so far in place, telling each.
    void Settle();
    bool Empty() const { return m_filling.empty() && m_flushing.empty(); }

private:
    struct Copy {
        detail::StagedCopyPtr staged;
        int error = 0;
        detail::CopyOutcome outcome;
        Done done;
    };
    using Batch = std::vector<Copy>;

    // Hands the batch being filled to the flushing thread.
    void StartFlush();
    bool FlushDone();
    // Waits for the flush under way and puts its batch in place.
    void PlaceFlushed();
    void FlushWhenAsked();

    std::size_t m_descriptorBudget;
    Batch m_filling;
    std::uint64_t m_fillingBytes = 0;
    std::size_t m_fillingDescriptors = 0;
    Batch m_flushing;
    std::size_t m_flushingDescriptors = 0;

    // The flushing thread, started with the first batch, and what it is
    // given and gives back, under m_mutex.
    std::thread m_flusher;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<detail::FlushItem> m_toFlush;
    std::vector<int> m_flushErrors;
    bool m_flushAsked = false;
    bool m_flushDone = false;
    bool m_ending = false;
};

}  // namespace platform
