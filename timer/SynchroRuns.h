#pragma once

// The four runs a synchro timer tick can start; the program provides them,
// each a complete run as if started by hand.
class SynchroRuns {
public:
    virtual ~SynchroRuns() = default;

    virtual void FilesAll() = 0;  // files mode, all entries
    virtual void FilesSelected() = 0;  // files mode, selected entries
    virtual void FoldersAll() = 0;  // folders mode, all entries
    virtual void FoldersSelected() = 0;  // folders mode, selected entries
};
