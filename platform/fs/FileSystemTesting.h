#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// Knobs that let tests reach the rare paths of the copy and of the text file
// writer: a disk that fills up, a copy slow enough to be killed in the
// middle, a file system without unnamed temporary files, a file changed by
// another program while it is copied. Not for the program.
namespace platform {

struct FileSystemTestHooks {
    // Called before each piece of content is written (CopyFile and
    // WriteTextLines) with the number of bytes written so far. A nonzero
    // errno makes that write fail with it, as a full disk would.
    std::function<int(std::uint64_t bytesDone)> beforeWrite;
    // The largest piece of content moved at once; 0 for no limit. Nonzero
    // also skips cloning, which would move everything in one step.
    std::size_t pieceSize = 0;
    // Behave as on a file system without O_TMPFILE: named temporary files.
    bool noUnnamedTemp = false;
    // Move content with the plain read/write loop only.
    bool noKernelCopy = false;
    // Called by CopyFile with the source's path just before it opens it: a
    // test puts another file in its place here, as a restore from a backup
    // might after the run compared the two files.
    std::function<void(const std::string& source)> beforeSourceOpen;
    // Called by CopyFile once the last byte is read, before the copy is
    // checked and put in place: a test changes the source or the
    // destination here, as another program might while a copy runs.
    std::function<void()> afterContent;
    // Called before finished copies are flushed to the disk; a nonzero
    // errno makes the flush fail with it, as a failing disk would.
    std::function<int()> beforeFlush;
    // Replace files in steps, as on a drive that cannot in one, and call
    // betweenReplaceSteps after the old file was moved aside (1) and after
    // the new one took its name (2): a test kills the copy there.
    bool replaceInSteps = false;
    std::function<void(int step)> betweenReplaceSteps;
    // Called by a copy right after its file took the destination's name,
    // before the copy looks at what it placed: a test saves the destination
    // here, as a person might at that moment.
    std::function<void()> afterPlacing;
    // Called by a copy that found the name of a file a stopped replace left
    // aside free, just before it puts the file back: a test saves a file
    // under the name here.
    std::function<void()> beforePutBack;
};

void SetFileSystemTestHooks(const FileSystemTestHooks& hooks);
void ClearFileSystemTestHooks();

// Named temporary files (of the copy where O_TMPFILE is missing, and of the
// text file writer) begin with this; directory searches never yield those
// of the shapes the program makes. Other files of such names are a
// person's, like any other.
inline constexpr const char* kTemporaryNamePrefix = ".folderly-partial-";
// Those of the copy begin with this, then an id and its mark: the next copy
// into their folder removes any of ours that no copy holds any more (a copy
// that was killed left it).
inline constexpr const char* kCopyTemporaryNamePrefix = ".folderly-partial-copy-";
// A file being replaced in steps waits aside under this, a mark and its
// name; the next copy into its folder puts it back, or removes it where the
// new file took the name.
inline constexpr const char* kReplacedAsidePrefix = ".folderly-partial-old-";

// Names of the program's own making, as a killed copy leaves them: a copy's
// temporary file, and a file set aside while `name` was replaced in steps.
std::string OwnCopyTemporaryName();
std::string OwnAsideName(const std::string& name);

}  // namespace platform
