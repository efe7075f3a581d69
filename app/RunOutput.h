#pragma once

#include <string>

// Where a run started from the command line tells what it does: each Report
// line as it is added, and the messages the window would have shown.
class RunOutput {
public:
    virtual ~RunOutput() = default;

    virtual void Line(const std::string& line) = 0;
    virtual void Message(const std::string& text) = 0;
    // The run begins: from here on it may copy. Told before its first line.
    virtual void Starting() {}
};
