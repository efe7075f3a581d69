#include "lists/CopyPath.h"

#include "lists/FolderList.h"

std::optional<std::string> CopyPathThroughCarrier(const FolderList& list, std::string& carrierText)
{
    // Walking upwards lets every hit overwrite the one before, so the
    // top-most selected entry is what stays in the carrier.
    for (int i = list.Count() - 1; i >= 0; --i) {
        if (list.Selected(i))
            carrierText = list.Text(i);
    }
    // Cutting an empty carrier cuts nothing: the clipboard keeps its text.
    if (carrierText.empty())
        return std::nullopt;
    std::string cut = std::move(carrierText);
    carrierText.clear();
    return cut;
}
