#include "settings/func_save.h"

#include "text/func_lanzo.h"

namespace func_save
{
namespace
{

// A value is stored as it is, except that it must not end its record early: an LF (with a CR
// right before it) would start a new line that the loader reads as a record of its own, and
// could forge one (an "EXE" line inside a search history item). Such a break is stored as one
// space. A tab is kept: it splits the value on loading, which only costs that value.
void AppendValue(std::string &out, std::string_view value)
{
    std::size_t pos = 0;
    for (;;) {
        const std::size_t lf = value.find('\n', pos);
        if (lf == std::string_view::npos) {
            out.append(value.substr(pos));
            return;
        }
        std::size_t end = lf;
        if (end > pos && value[end - 1] == '\r') --end;
        out.append(value.substr(pos, end - pos));
        out += ' ';
        pos = lf + 1;
    }
}

std::size_t ItemsSize(const StringList &items)
{
    std::size_t n = 0;
    for (const auto &item : items)
        n += item.size() + 1;
    return n;
}

void AppendItems(std::string &out, const StringList &items)
{
    for (const auto &item : items) {
        out += '\t';
        AppendValue(out, item);
    }
}

std::string FlagLine(std::string_view name, bool flag)
{
    std::string line(name);
    line += flag ? "\t1" : "\t0";
    return line;
}

// A record's fields are read as views of its line: a line is looked at in place, and only the
// values a control keeps are copied.
class FieldReader
{
public:
    explicit FieldReader(std::string_view line)
        : m_line(line)
    {
    }
    bool next(std::string_view &field) { return func_token::NextTabField(m_line, m_pos, field); }

private:
    std::string_view m_line;
    std::size_t m_pos = 0;
};

std::size_t FieldCount(std::string_view line)
{
    FieldReader reader(line);
    std::string_view field;
    std::size_t count = 0;
    while (reader.next(field))
        ++count;
    return count;
}

// Field 1 of a line, which has one.
std::string_view SecondField(std::string_view line)
{
    FieldReader reader(line);
    std::string_view field;
    reader.next(field);
    reader.next(field);
    return field;
}

// The fields from the first'th on (0-based), at most the last maxItems of them.
void AssignItems(StringList &items, std::string_view line, std::size_t first, std::size_t count, std::size_t maxItems)
{
    const std::size_t total = count > first ? count - first : 0;
    const std::size_t skip = first + (total > maxItems ? total - maxItems : 0);
    items.clear();
    items.reserve(count > skip ? count - skip : 0);
    FieldReader reader(line);
    std::string_view field;
    for (std::size_t i = 0; reader.next(field); ++i) {
        if (i >= skip) items.emplace_back(field);
    }
}

bool LoadFlag(bool &flag, std::string_view line)
{
    if (FieldCount(line) != 2) return false;
    flag = SecondField(line) == "1";
    return true;
}

// Calls apply with every line of a control-state file, as RecordLines cuts them.
template <class Apply> void ForEachRecordLine(std::string_view fileBytes, Apply apply)
{
    // LF ends a line and a CR right before it belongs to the break. A lone CR is part of the
    // line, so a value holding one comes back exactly as it was written.
    std::size_t pos = 0;
    while (pos < fileBytes.size()) {
        std::size_t lf = fileBytes.find('\n', pos);
        const bool last = lf == std::string_view::npos;
        if (last) lf = fileBytes.size();
        std::size_t end = lf;
        if (!last && end > pos && fileBytes[end - 1] == '\r') --end;
        apply(fileBytes.substr(pos, end - pos));
        pos = lf + 1;
    }
}

void AppendRecord(std::string &file, std::string line)
{
    file += line;
    file += "\r\n";
}

} // namespace

std::string SaveEditState(std::string_view name, std::string_view text)
{
    std::string line(name);
    line += '\t';
    AppendValue(line, text);
    return line;
}

std::string SaveRadioState(std::string_view name, bool selected)
{
    return FlagLine(name, selected);
}

std::string SaveCheckState(std::string_view name, bool checked)
{
    return FlagLine(name, checked);
}

std::string SaveComboState(std::string_view name, const ComboState &state)
{
    std::string line(name);
    line.reserve(name.size() + state.text.size() + 1 + ItemsSize(state.items));
    line += '\t';
    AppendValue(line, state.text);
    AppendItems(line, state.items);
    return line;
}

std::string SaveListState(std::string_view name, const StringList &items)
{
    std::string line(name);
    line.reserve(name.size() + ItemsSize(items));
    AppendItems(line, items);
    return line;
}

std::string SaveCheckListState(std::string_view name, const CheckListState &state)
{
    std::string line(name);
    line.reserve(name.size() + 1 + state.items.size() + ItemsSize(state.items));
    line += '\t';
    for (std::size_t i = 0; i < state.items.size(); ++i)
        line += (i < state.checked.size() && state.checked[i]) ? '1' : '0';
    AppendItems(line, state.items);
    return line;
}

bool LoadEditState(std::string &text, std::string_view line)
{
    if (FieldCount(line) != 2) return false;
    text = SecondField(line);
    return true;
}

bool LoadRadioState(bool &selected, std::string_view line)
{
    return LoadFlag(selected, line);
}

bool LoadCheckState(bool &checked, std::string_view line)
{
    return LoadFlag(checked, line);
}

bool LoadComboState(ComboState &state, std::string_view line, std::size_t maxItems)
{
    const std::size_t count = FieldCount(line);
    if (count <= 1) return false;
    state.text = SecondField(line);
    AssignItems(state.items, line, 2, count, maxItems);
    return true;
}

bool LoadListState(StringList &items, std::string_view line)
{
    const std::size_t count = FieldCount(line);
    AssignItems(items, line, 1, count, count);
    return true;
}

bool LoadCheckListState(CheckListState &state, std::string_view line)
{
    const std::size_t count = FieldCount(line);
    if (count <= 2) return false;
    const std::string_view flags = SecondField(line);
    AssignItems(state.items, line, 2, count, count);
    state.checked.assign(state.items.size(), false);
    for (std::size_t i = 0; i < flags.size() && i < state.items.size(); ++i)
        state.checked[i] = flags[i] == '1';
    return true;
}

std::string_view RecordName(std::string_view line)
{
    const auto tab = line.find('\t');
    return tab == std::string_view::npos ? std::string_view() : line.substr(0, tab);
}

StringList RecordLines(std::string_view fileBytes)
{
    StringList lines;
    ForEachRecordLine(fileBytes, [&](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

std::string WriteSetIni(const CtrlPanelState &state)
{
    std::string file;
    AppendRecord(file, SaveComboState("BEFORE", state.before));
    AppendRecord(file, SaveComboState("AFTER", state.after));
    AppendRecord(file, SaveComboState("KEYWORD", state.keyword));
    AppendRecord(file, SaveComboState("URL", state.url));
    AppendRecord(file, SaveRadioState("RDO1L", state.rdo1L));
    AppendRecord(file, SaveRadioState("RDO2L", state.rdo2L));
    AppendRecord(file, SaveCheckState("HOSEI", state.hosei));
    AppendRecord(file, SaveCheckState("TOURL", state.toUrl));
    AppendRecord(file, SaveCheckState("TOCLIP", state.toClip));
    AppendRecord(file, SaveCheckState("TOEXE", state.toExe));
    AppendRecord(file, SaveEditState("EXE", state.exe));
    return file;
}

void ApplySetIni(CtrlPanelState &state, std::string_view fileBytes)
{
    // A history never holds more than the panel keeps; a longer one was not written by it.
    ForEachRecordLine(fileBytes, [&](std::string_view line) {
        const std::string_view name = RecordName(line);
        if (name == "BEFORE")
            LoadComboState(state.before, line, func_lanzo::kComboHistoryLimit);
        else if (name == "AFTER")
            LoadComboState(state.after, line, func_lanzo::kComboHistoryLimit);
        else if (name == "KEYWORD")
            LoadComboState(state.keyword, line, func_lanzo::kComboHistoryLimit);
        else if (name == "URL")
            LoadComboState(state.url, line, func_lanzo::kComboHistoryLimit);
        else if (name == "RDO1L")
            LoadRadioState(state.rdo1L, line);
        else if (name == "RDO2L")
            LoadRadioState(state.rdo2L, line);
        else if (name == "HOSEI")
            LoadCheckState(state.hosei, line);
        else if (name == "TOURL")
            LoadCheckState(state.toUrl, line);
        else if (name == "TOCLIP")
            LoadCheckState(state.toClip, line);
        else if (name == "TOEXE")
            LoadCheckState(state.toExe, line);
        else if (name == "EXE")
            LoadEditState(state.exe, line);
    });
}

std::string WriteSet2Ini(const SetDialogState &state)
{
    std::string file;
    AppendRecord(file, SaveCheckListState("Prefix", state.prefix));
    AppendRecord(file, SaveCheckListState("Middle", state.middle));
    AppendRecord(file, SaveCheckListState("Suffix", state.suffix));
    AppendRecord(file, SaveCheckState("Auto", state.autoExpand));
    AppendRecord(file, SaveListState("Convert", state.convert));
    return file;
}

void ApplySet2Ini(SetDialogState &state, std::string_view fileBytes)
{
    ForEachRecordLine(fileBytes, [&](std::string_view line) {
        const std::string_view name = RecordName(line);
        if (name == "Prefix")
            LoadCheckListState(state.prefix, line);
        else if (name == "Middle")
            LoadCheckListState(state.middle, line);
        else if (name == "Suffix")
            LoadCheckListState(state.suffix, line);
        else if (name == "Auto")
            LoadCheckState(state.autoExpand, line);
        else if (name == "Convert")
            LoadListState(state.convert, line);
    });
}

StringList CheckedItems(const CheckListState &state)
{
    StringList out;
    for (std::size_t i = 0; i < state.items.size(); ++i) {
        if (i < state.checked.size() && state.checked[i]) out.push_back(state.items[i]);
    }
    return out;
}

} // namespace func_save
