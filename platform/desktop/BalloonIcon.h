#pragma once

#include <cstdint>

// The sign a balloon shows beside its text. Runs ask for one through their
// host; the tray icon hands it on to the notification area.
enum TBalloonIconType : uint8_t { biNone = 0, biInfo = 1, biWarning = 2, biError = 3, biUser = 4 };
