#pragma once

#include <string>
#include <vector>

#include "lists/FolderList.h"

// The entry texts of a list, top to bottom.
inline std::vector<std::string> Texts(const FolderList& list)
{
    std::vector<std::string> texts;
    for (int i = 0; i < list.Count(); ++i)
        texts.push_back(list.Text(i));
    return texts;
}

// A list with these texts added in this order.
inline FolderList ListOf(const std::vector<std::string>& texts)
{
    FolderList list;
    for (const std::string& text : texts)
        list.Add(text);
    return list;
}
