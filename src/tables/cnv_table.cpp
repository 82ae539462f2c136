#include "tables/cnv_table.h"

#include "encoding/jconvert.h"
#include "extract/byte_scan.h"
#include "settings/file_io.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>

namespace tables
{
namespace
{

// False only when ReplaceAll(text, before, ...) certainly finds nothing to replace, so a pair
// whose before text does not occur costs one search instead of a copy of the whole text.
bool MayReplace(const std::string &text, const std::string &before)
{
    if (before.empty()) return false;
    const char *const begin = text.data();
    const char *const end = begin + text.size();
    const char *p = begin;
    // Hits on trail bytes do not count; after a few of them ReplaceAll decides.
    for (int tries = 0; tries < 16 && p < end; ++tries) {
        const char *at = byte_scan::FindBytes(p, end, before);
        if (at == end) return false;
        if (!byte_scan::IsTrailAt(begin, at)) return true;
        p = at + 1;
    }
    return p < end;
}

} // namespace

void ParseCnvTable(std::string_view bytes, StringList &before, StringList &after)
{
    const auto eof = bytes.find('\x1a');
    if (eof != std::string_view::npos) bytes = bytes.substr(0, eof);

    StringList fields;
    std::string line;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const auto lf = bytes.find('\n', pos);
        const std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
        std::string_view text = bytes.substr(pos, end - pos);
        pos = end + 1;
        // A CR before the LF belongs to the break; any other CR is dropped from the line
        // without ending it. Either way no CR stays.
        if (text.find('\r') != std::string_view::npos) {
            line.clear();
            for (const char c : text) {
                if (c != '\r') line.push_back(c);
            }
            text = line;
        }
        func_token::SplitTabFields(fields, text);
        if (fields.size() == 2) {
            before.push_back(std::move(fields[0]));
            after.push_back(std::move(fields[1]));
        }
    }
}

std::string TablePath(const std::string &tableDir, std::string_view name)
{
    return file_io::JoinPath(tableDir, jconvert::SjisToUtf8Name(name) + ".tbl");
}

void MakeCnvTable(StringList &before, StringList &after, std::string_view name, const std::string &tableDir)
{
    auto read = file_io::ReadWholeFile(TablePath(tableDir, name));
    if (read.missing) {
        // Discovery lists x.TBL as the table x; where letter case tells file names apart, that
        // spelling is what loading the table x has to find.
        const std::string wanted = jconvert::SjisToUtf8Name(name);
        for (const auto &path : SearchTableFiles(tableDir)) {
            const std::string fileName = file_io::FileNamePart(path);
            if (fileName.size() == wanted.size() + 4 && fileName.compare(0, wanted.size(), wanted) == 0) {
                read = file_io::ReadWholeFile(path);
                break;
            }
        }
    }
    if (read.ok) ParseCnvTable(read.data, before, after);
}

std::vector<std::string> SearchTableFiles(const std::string &dir)
{
    std::vector<std::string> found;
    DIR *listing = ::opendir(dir.c_str());
    if (!listing) return found;
    while (const dirent *entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == ".." || name.size() < 4) continue;
        const std::string_view ext = name.substr(name.size() - 4);
        bool matches = ext[0] == '.';
        for (std::size_t i = 1; i < 4 && matches; ++i)
            matches = (ext[i] | 0x20) == ".tbl"[i];
        if (matches) found.push_back(file_io::JoinPath(dir, std::string(name)));
    }
    ::closedir(listing);
    return found;
}

std::string TableNameFromPath(std::string_view path)
{
    const auto slash = path.rfind('/');
    const std::string_view fileName = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::string name = jconvert::Utf8ToSjisName(fileName);
    return func_token::LeftChars(name, static_cast<long>(func_token::CharCount(name)) - 4);
}

bool ApplyPairs(std::string &text, const StringList &before, const StringList &after, job::JobProgress *progress)
{
    const std::size_t count = std::min(before.size(), after.size());
    if (progress) progress->setMaximum(static_cast<std::int64_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        if (MayReplace(text, before[i])) text = func_token::ReplaceAll(text, before[i], after[i]);
        if (progress) {
            progress->setPosition(static_cast<std::int64_t>(i + 1));
            if (progress->stopRequested()) {
                progress->setPosition(0);
                return false;
            }
        }
    }
    return true;
}

} // namespace tables
