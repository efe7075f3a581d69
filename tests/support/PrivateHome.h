#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "TempDir.h"

// Points the user's home and the desktop's folders into home, so that no
// test reads or writes the real user's settings, lists or autostart entries.
inline void UsePrivateHome(const TempDir& home)
{
    const std::string runtime = home / "runtime";
    mkdir(runtime.c_str(), 0700);
    setenv("HOME", home.Path().c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
    setenv("XDG_STATE_HOME", (home / "state").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
}
