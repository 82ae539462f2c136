#pragma once
// The settings and tables a first start puts in place, so that extraction finds URLs out of
// the box. Condition items and table contents are Shift_JIS bytes; table file names are UTF-8.
#include "settings/func_save.h"

#include <string>
#include <vector>

namespace shipped_defaults
{

struct ShippedFile {
    std::string name; // file name in the table folder (UTF-8), ".tbl" included
    std::string bytes; // file contents: Shift_JIS, one "before<TAB>after" pair per CR LF line
};

func_save::SetDialogState ShippedSetDialogState();
std::string ShippedSet2Ini();
std::vector<ShippedFile> ShippedTables();

} // namespace shipped_defaults
