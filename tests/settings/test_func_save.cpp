#include "settings/func_save.h"

#include <gtest/gtest.h>

namespace
{

using namespace func_save;

CheckListState Checks(StringList items, std::vector<bool> checked)
{
    return CheckListState { std::move(items), std::move(checked) };
}

TEST(FuncSave, RecordLinesAsWritten)
{
    const struct {
        const char *name;
        std::string line;
        std::string want;
    } cases[] = {
        { "combo with history", SaveComboState("BEFORE", { "abc", { "x", "abc" } }), "BEFORE\tabc\tx\tabc" },
        { "empty combo", SaveComboState("BEFORE", {}), "BEFORE\t" },
        { "combo with empty text", SaveComboState("BEFORE", { "", { "a", "b" } }), "BEFORE\t\ta\tb" },
        { "empty list is the bare name", SaveListState("Convert", {}), "Convert" },
        { "list", SaveListState("Convert", { "a", "\x92\x75\x8a\xb7" }), "Convert\ta\t\x92\x75\x8a\xb7" },
        { "check list flags", SaveCheckListState("Prefix", Checks({ "x", "y", "z" }, { true, false, true })),
            "Prefix\t101\tx\ty\tz" },
        { "check list none checked",
            SaveCheckListState("Prefix", Checks({ "a", "b", "c", "d" }, { false, false, false, false })),
            "Prefix\t0000\ta\tb\tc\td" },
        { "check list with short flags", SaveCheckListState("Prefix", Checks({ "a", "b" }, { true })),
            "Prefix\t10\ta\tb" },
        { "empty check list", SaveCheckListState("Prefix", {}), "Prefix\t" },
        { "empty edit box", SaveEditState("EXE", ""), "EXE\t" },
        { "radio on", SaveRadioState("RDO1L", true), "RDO1L\t1" },
        { "check off", SaveCheckState("HOSEI", false), "HOSEI\t0" },
        { "value with a tab is stored as it is", SaveEditState("EXE", "a\tb"), "EXE\ta\tb" },
        { "a line break cannot start a record", SaveComboState("KEYWORD", { "a\r\nEXE\tevil", { "b\nc", "d\re" } }),
            "KEYWORD\ta EXE\tevil\tb c\td\re" },
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.line, c.want) << c.name;
}

TEST(FuncSave, LoadComboState)
{
    const ComboState initial { "keep", { "k1" } };
    const struct {
        const char *line;
        bool applied;
        ComboState want;
    } cases[] = {
        { "BEFORE\tabc\tx\tabc", true, { "abc", { "x", "abc" } } },
        { "BEFORE\t", false, initial },
        { "BEFORE", false, initial },
        { "BEFORE\t\ta\tb", true, { "", { "a", "b" } } },
        { "BEFORE\tt", true, { "t", {} } },
        { "BEFORE\ta\tb\tc", true, { "a", { "b", "c" } } }, // a text "a<TAB>b" comes back as text a, item b first
        { "BEFORE\t\"q\"\t\"x\"\t\"", true, { "q", { "x", "" } } },
        { "BEFORE\t\"a\tb\"", true, { "\"a", { "b\"" } } },
        { "BEFORE\t\x83\x5c\t\x8e\x9a", true, { "\x83\x5c", { "\x8e\x9a" } } },
    };
    for (const auto &c : cases) {
        ComboState state = initial;
        EXPECT_EQ(LoadComboState(state, c.line), c.applied) << c.line;
        EXPECT_EQ(state.text, c.want.text) << c.line;
        EXPECT_EQ(state.items, c.want.items) << c.line;
    }
}

TEST(FuncSave, LoadEditAndFlags)
{
    const struct {
        const char *line;
        bool applied;
        const char *text;
    } edits[] = {
        { "EXE\t/usr/bin/firefox", true, "/usr/bin/firefox" }, { "EXE\t", false, "old" }, { "EXE", false, "old" },
        { "EXE\ta\tb", false, "old" }, { "EXE\t\"/opt/my browser\"", true, "/opt/my browser" },
        { "EXE\tx\t", true, "x" }, // a final tab starts no field
    };
    for (const auto &c : edits) {
        std::string text = "old";
        EXPECT_EQ(LoadEditState(text, c.line), c.applied) << c.line;
        EXPECT_EQ(text, c.text) << c.line;
    }

    const struct {
        const char *line;
        bool initial;
        bool applied;
        bool want;
    } flags[] = {
        { "RDO1L\t1", false, true, true },
        { "RDO1L\t0", true, true, false },
        { "RDO1L\tyes", true, true, false },
        { "RDO1L\t\"1\"", false, true, true },
        { "RDO1L\t", true, false, true },
        { "RDO1L\t1\t1", false, false, false },
        { "RDO1L", true, false, true },
    };
    for (const auto &c : flags) {
        bool radio = c.initial, check = c.initial;
        EXPECT_EQ(LoadRadioState(radio, c.line), c.applied) << c.line;
        EXPECT_EQ(LoadCheckState(check, c.line), c.applied) << c.line;
        EXPECT_EQ(radio, c.want) << c.line;
        EXPECT_EQ(check, c.want) << c.line;
    }
}

TEST(FuncSave, LoadListsAndCheckLists)
{
    const struct {
        const char *line;
        StringList want;
    } lists[] = {
        { "Convert\ta\tb", { "a", "b" } },
        { "Convert\t", {} },
        { "Convert", {} },
        { "Convert\t\ta", { "", "a" } },
    };
    for (const auto &c : lists) {
        StringList items { "old" };
        EXPECT_TRUE(LoadListState(items, c.line)) << c.line;
        EXPECT_EQ(items, c.want) << c.line;
    }

    const CheckListState initial = Checks({ "old" }, { true });
    const struct {
        const char *line;
        bool applied;
        CheckListState want;
    } checks[] = {
        { "Prefix\t101\tx\ty\tz", true, Checks({ "x", "y", "z" }, { true, false, true }) },
        { "Prefix\t1\ta\tb\tc", true, Checks({ "a", "b", "c" }, { true, false, false }) },
        { "Prefix\t11111\ta", true, Checks({ "a" }, { true }) },
        { "Prefix\t\ta", true, Checks({ "a" }, { false }) },
        { "Prefix\tx1\ta\tb", true, Checks({ "a", "b" }, { false, true }) },
        { "Prefix\t", false, initial },
        { "Prefix\t1", false, initial },
        { "Prefix", false, initial },
    };
    for (const auto &c : checks) {
        CheckListState state = initial;
        EXPECT_EQ(LoadCheckListState(state, c.line), c.applied) << c.line;
        EXPECT_EQ(state.items, c.want.items) << c.line;
        EXPECT_EQ(state.checked, c.want.checked) << c.line;
    }
    EXPECT_EQ(CheckedItems(Checks({ "a", "b", "c" }, { false, true, true })), (StringList { "b", "c" }));
    EXPECT_EQ(CheckedItems(Checks({ "a", "b" }, { true })), (StringList { "a" }));
}

TEST(FuncSave, RecordLinesAndNames)
{
    const struct {
        std::string bytes;
        StringList want;
    } cases[] = {
        { "a\r\nb\r\n", { "a", "b" } },
        { "a\nb", { "a", "b" } },
        { "a\n\nb\n", { "a", "", "b" } },
        { "\r\n", { "" } },
        { "", {} },
        { "a\r\r\n", { "a\r" } }, // a CR of the value itself stays
        { "a\rb\r\n", { "a\rb" } }, // a lone CR does not end a record
        { std::string("a\0b\n", 4), { std::string("a\0b", 3) } },
    };
    for (const auto &c : cases)
        EXPECT_EQ(RecordLines(c.bytes), c.want) << testing::PrintToString(c.bytes);
    EXPECT_EQ(RecordName("BEFORE\tx"), "BEFORE");
    EXPECT_EQ(RecordName("\tx"), "");
    EXPECT_EQ(RecordName("Convert"), "");
}

CtrlPanelState SampleCtrl()
{
    CtrlPanelState s;
    s.before = { "abc", { "x", "abc" } };
    s.after = { "", { "a", "b" } };
    s.keyword = { "\x8c\x9f\x8d\xf5", { "\x83\x5c" } };
    s.url = { "http://example.com/a", { "http://example.com/a", "http://b/" } };
    s.rdo1L = true;
    s.toClip = true;
    s.exe = "/usr/bin/browser";
    return s;
}

void ExpectSameCtrl(const CtrlPanelState &a, const CtrlPanelState &b)
{
    const ComboState *ca[] = { &a.before, &a.after, &a.keyword, &a.url };
    const ComboState *cb[] = { &b.before, &b.after, &b.keyword, &b.url };
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(ca[i]->text, cb[i]->text) << i;
        EXPECT_EQ(ca[i]->items, cb[i]->items) << i;
    }
    EXPECT_EQ(a.rdo1L, b.rdo1L);
    EXPECT_EQ(a.rdo2L, b.rdo2L);
    EXPECT_EQ(a.hosei, b.hosei);
    EXPECT_EQ(a.toUrl, b.toUrl);
    EXPECT_EQ(a.toClip, b.toClip);
    EXPECT_EQ(a.toExe, b.toExe);
    EXPECT_EQ(a.exe, b.exe);
}

TEST(FuncSave, SetIniRoundTripAndOrder)
{
    const std::string file = WriteSetIni(SampleCtrl());
    EXPECT_EQ(file,
        "BEFORE\tabc\tx\tabc\r\nAFTER\t\ta\tb\r\nKEYWORD\t\x8c\x9f\x8d\xf5\t\x83\x5c\r\n"
        "URL\thttp://example.com/a\thttp://example.com/a\thttp://b/\r\nRDO1L\t1\r\nRDO2L\t0\r\n"
        "HOSEI\t0\r\nTOURL\t0\r\nTOCLIP\t1\r\nTOEXE\t0\r\nEXE\t/usr/bin/browser\r\n");
    CtrlPanelState back;
    ApplySetIni(back, file);
    ExpectSameCtrl(back, SampleCtrl());

    // The defaults survive a round trip too, though their empty records are skipped.
    CtrlPanelState empty;
    ApplySetIni(empty, WriteSetIni(CtrlPanelState {}));
    ExpectSameCtrl(empty, CtrlPanelState {});
}

TEST(FuncSave, ApplySetIniRules)
{
    // Names are exact; the last record of a name wins (new records appended after old ones
    // when the old file could not be deleted); LF-only files and stray lines are fine.
    const std::string file = "before\tlower\r\nBEFORE\told\r\nRDO1L\t1\r\nEXE\t/old\r\n"
                             "garbage line\r\n\tno name\r\nBEFORE\tnew\tn1\nRDO1L\t0\nEXE\t\n";
    CtrlPanelState s;
    s.exe = "default";
    ApplySetIni(s, file);
    EXPECT_EQ(s.before.text, "new");
    EXPECT_EQ(s.before.items, StringList { "n1" });
    EXPECT_FALSE(s.rdo1L);
    EXPECT_EQ(s.exe, "/old"); // the empty EXE record is skipped
}

TEST(FuncSave, Set2IniRoundTrip)
{
    SetDialogState s;
    s.prefix = Checks({ "http://", "", "ttp://" }, { true, false, true });
    s.suffix = Checks({ ".jpg" }, { false });
    s.autoExpand = true;
    s.convert = { "\x92\x75\x8a\xb7", "ttp" };
    const std::string file = WriteSet2Ini(s);
    EXPECT_EQ(file,
        "Prefix\t101\thttp://\t\tttp://\r\nMiddle\t\r\nSuffix\t0\t.jpg\r\nAuto\t1\r\n"
        "Convert\t\x92\x75\x8a\xb7\tttp\r\n");

    SetDialogState back;
    back.middle = Checks({ "keep" }, { true });
    ApplySet2Ini(back, file);
    EXPECT_EQ(back.prefix.items, s.prefix.items);
    EXPECT_EQ(back.prefix.checked, s.prefix.checked);
    EXPECT_EQ(back.middle.items, StringList { "keep" }); // an empty check list is skipped on loading
    EXPECT_EQ(back.suffix.items, s.suffix.items);
    EXPECT_TRUE(back.autoExpand);
    EXPECT_EQ(back.convert, s.convert);

    // An empty Convert list is the bare name, which is no record at all.
    SetDialogState noTables;
    noTables.convert = { "stays" };
    ApplySet2Ini(noTables, WriteSet2Ini(SetDialogState {}));
    EXPECT_EQ(noTables.convert, StringList { "stays" });
}

} // namespace
