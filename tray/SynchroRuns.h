#pragma once

// The four runs a synchro timer tick can start; the main window provides
// them, each a complete run as if started by hand.
class SynchroRuns {
public:
    virtual ~SynchroRuns() = default;

    virtual void BitBtn4Click() = 0;  // files mode, all entries
    virtual void BitBtn3Click() = 0;  // files mode, selected entries
    virtual void SynchroFolders_ns() = 0;  // folders mode, all entries
    virtual void SynchroFolders_s() = 0;  // folders mode, selected entries
};
