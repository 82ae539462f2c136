#pragma once
// Conversion tables: files "NAME.tbl" in the table directory, one before/after pair per
// line separated by a tab. Table names are Shift_JIS bytes; file names on disk are UTF-8,
// converted at this boundary.
#include "base/error.h"
#include "base/job_progress.h"
#include "text/func_token.h"

#include <string>
#include <string_view>
#include <vector>

namespace cnv_table
{

using func_token::StringList;

// Appends the pairs of a table file's bytes (lines end at LF, a CR before LF belongs to the
// break, another CR is dropped, 0x1A ends the file; a line of exactly two tab fields is a pair,
// unless it holds a NUL byte).
void ParseCnvTable(std::string_view bytes, StringList &before, StringList &after);

// Path of the table NAME (Shift_JIS bytes) in tableDir (a UTF-8 path).
std::string TablePath(const std::string &tableDir, std::string_view name);

// Loads the table NAME from tableDir and appends its pairs; a table that cannot be read adds
// nothing (kind NotFound when there is none).
error::Result<void> MakeCnvTable(
    StringList &before, StringList &after, std::string_view name, const std::string &tableDir);

// The pairs of several tables, applied in order.
struct TablePairs {
    StringList before;
    StringList after;
};
// The pairs of the named tables in tableDir, in the order named; a table that cannot be read
// adds nothing.
TablePairs LoadTables(const StringList &names, const std::string &tableDir);

// Full paths (UTF-8) of the entries of dir whose names end with ".tbl" in any letter case,
// "." and ".." skipped, non-recursive, in the order the directory listing yields them.
std::vector<std::string> SearchTableFiles(const std::string &dir);

// The table name (Shift_JIS bytes) of a full path: the file name without its last four
// characters, counted in characters.
std::string TableNameFromPath(std::string_view path);

// Applies the pairs in order with ReplaceAll. One progress step per pair; the stop flag is read
// after each pair and once per job_progress::kScanChunk bytes within a pair's pass over the text, so a
// stop takes effect within milliseconds on any text. Returns false when stopped (text is then
// partly converted: callers keep the input).
bool ApplyPairs(
    std::string &text, const StringList &before, const StringList &after, job_progress::JobProgress *progress);

} // namespace cnv_table
