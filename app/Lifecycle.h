#pragma once

class TForm1;

// The program's start and close around the main window: where the lists,
// the options and the Report list's first lines come from, and in which
// order everything is written back.
namespace Lifecycle {

// The creation handler: program folder, lists, option store, legacy import,
// "v1.3", options. An error ends it at that step (the caller shows it; the
// window opens all the same).
void FormCreate(TForm1& form);

// The close handler's saving: lists, then options. An error is shown and
// false returned: the window stays and the program keeps running.
bool FormClose(TForm1& form);

// The desktop session ends the program without closing its window: the
// close's saving runs all the same (lists, then options). Throws on failure.
void SaveForSessionEnd(TForm1& form);

}  // namespace Lifecycle
