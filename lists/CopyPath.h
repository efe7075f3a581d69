#pragma once

#include <optional>
#include <string>

class FolderList;

// Copy Path through the hidden carrier text box: the top-most selected
// entry's text replaces the carrier's text, then the carrier's whole text is
// cut. Returns what goes to the clipboard, or nothing when the carrier is
// empty (the clipboard then keeps what it held).
std::optional<std::string> CopyPathThroughCarrier(const FolderList& list, std::string& carrierText);
