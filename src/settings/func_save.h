#pragma once
// The control-state store: one line per control, "NAME<TAB>values...", read back with the
// tab-field splitter. Pure functions over plain values; the windows bind them to controls.
#include "text/func_token.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace func_save
{

using func_token::StringList;

struct ComboState {
    std::string text;
    StringList items;
};
struct CheckListState {
    StringList items;
    std::vector<bool> checked; // same length as items
};

// Record lines, without the CR LF.
std::string SaveEditState(std::string_view name, std::string_view text);
std::string SaveRadioState(std::string_view name, bool selected);
std::string SaveCheckState(std::string_view name, bool checked);
std::string SaveComboState(std::string_view name, const ComboState &state);
std::string SaveListState(std::string_view name, const StringList &items);
std::string SaveCheckListState(std::string_view name, const CheckListState &state);

// Each load takes one whole record line (name included) and changes the value only when
// the field count fits the kind; returns whether it applied.
bool LoadEditState(std::string &text, std::string_view line);
bool LoadRadioState(bool &selected, std::string_view line);
bool LoadCheckState(bool &checked, std::string_view line);
// A combo box keeps at most the last maxItems of its stored items.
bool LoadComboState(ComboState &state, std::string_view line, std::size_t maxItems = SIZE_MAX);
bool LoadListState(StringList &items, std::string_view line);
bool LoadCheckListState(CheckListState &state, std::string_view line);

// The record name of a line: the text before the first tab ("" without a tab).
std::string_view RecordName(std::string_view line);
// The lines of a control-state file (LF ends a line, a CR before it belongs to the break;
// a lone CR stays in its line). Values are written with any LF turned into a space.
StringList RecordLines(std::string_view fileBytes);

// set.ini: the control panel.
struct CtrlPanelState {
    ComboState before, after, keyword, url;
    bool rdo1L = false, rdo2L = false;
    bool hosei = false, toUrl = false, toClip = false, toExe = false;
    std::string exe;
};
std::string WriteSetIni(const CtrlPanelState &state); // records in their order, CR LF each
void ApplySetIni(CtrlPanelState &state, std::string_view fileBytes);

// set2.ini: the settings dialog.
struct SetDialogState {
    CheckListState prefix, middle, suffix;
    bool autoExpand = false;
    StringList convert;
};
std::string WriteSet2Ini(const SetDialogState &state);
void ApplySet2Ini(SetDialogState &state, std::string_view fileBytes);

// The checked items of a check list, in order.
StringList CheckedItems(const CheckListState &state);

} // namespace func_save
