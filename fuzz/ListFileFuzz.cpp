// A list file of any bytes: loaded as the start loads List1.txt, then held to
// what FolderList and the list files promise.

#include "FuzzSupport.h"
#include "lists/FolderList.h"
#include "lists/ListFile.h"
#include "platform/fs/TextFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Texts(const FolderList& list)
{
    std::vector<std::string> texts;
    for (int i = 0; i < list.Count(); ++i)
        texts.push_back(list.Text(i));
    return texts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using fuzz::Require;
    const std::string path = fuzz::TheFolder() / "List1.txt";
    const std::string savedPath = fuzz::TheFolder() / "List2.txt";
    fuzz::WriteWholeFile(path, fuzz::Bytes(data, size));

    FolderList list;
    LoadListFile(list, path);
    const std::vector<std::string> texts = Texts(list);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        Require(texts[i].find_first_of("\r\n") == std::string::npos, "no entry holds a line end");
        Require(i == 0 || !FolderTextLess(texts[i], texts[i - 1]), "entries in order without regard to case");
    }

    // AddAll's one sort must place equal-comparing entries as Add does.
    FolderList added;
    for (const std::string& line : platform::ReadTextLines(path))
        added.Add(line);
    Require(Texts(added) == texts, "the file's load equals adding its lines one by one");

    // What the close writes, the next start reads back the same.
    SaveListFile(list, savedPath);
    FolderList reloaded;
    LoadListFile(reloaded, savedPath);
    Require(Texts(reloaded) == texts, "a saved list loads back as it was");
    return 0;
}
