// How raw keyboard and mouse input becomes the hooks' actions.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/clipboard_give_back.h"
#include "core/hook_rules.h"

using namespace hookrules;

namespace {

const char* Name(KeyAction a)
{
    switch (a) {
    case KeyAction::PassOn: return "PassOn";
    case KeyAction::Swallow: return "Swallow";
    case KeyAction::ModeEdit: return "ModeEdit";
    case KeyAction::ModeSelectionEdit: return "ModeSelectionEdit";
    case KeyAction::ModeSearch: return "ModeSearch";
    case KeyAction::FocusSwitch: return "FocusSwitch";
    }
    return "?";
}

// A keystroke script: "+X" presses X, "-X" releases it. Names: lctrl rctrl
// ctrl, lalt ralt alt (generic; "alt*" is the generic code with the extended
// flag), lshift shift, lwin, space, 1 2 3 4, a.
KeyEvent Parse(const std::string& step)
{
    bool down = step[0] == '+';
    std::string name = step.substr(1);
    bool extended = false;
    if (name.back() == '*') {
        extended = true;
        name.pop_back();
    }
    struct {
        const char* name;
        unsigned vk;
    } keys[] = {{"lctrl", VkLControl}, {"rctrl", VkRControl}, {"ctrl", VkControl},
                {"lalt", VkLMenu},     {"ralt", VkRMenu},     {"alt", VkMenu},
                {"lshift", VkLShift},  {"shift", VkShift},    {"lwin", VkLWin},
                {"space", VkSpace},    {"1", Vk1},            {"2", Vk2},
                {"3", Vk3},            {"4", 0x34},           {"a", 0x41},
                {"c", VkC},            {"x", VkX},            {"ins", VkInsert},
                {"del", VkDelete},     {"v", 0x56}};
    for (const auto& k : keys)
        if (name == k.name)
            return {k.vk, down, extended};
    ADD_FAILURE() << "unknown key " << step;
    return {0, down, extended};
}

// Runs a script and returns every action that was not PassOn, as
// "step=Action" items, so a failure shows exactly where it went wrong.
std::string RunKeys(const std::vector<std::string>& script, KeyTargets targets = {true, true})
{
    ShortcutKeys keys;
    std::string out;
    for (const auto& step : script) {
        KeyAction a = keys.OnKey(Parse(step), targets);
        if (a != KeyAction::PassOn)
            out += (out.empty() ? "" : " ") + step + "=" + Name(a);
    }
    return out;
}

TEST(ShortcutKeys, RecognisesTheChordsAndKeepsTheirKeysWhole)
{
    struct {
        std::vector<std::string> script;
        std::string want;
    } cases[] = {
        {{"+lctrl", "+lalt", "+1", "-1", "-lalt", "-lctrl"}, "+1=ModeEdit -1=Swallow"},
        {{"+lctrl", "+lalt", "+2", "-2", "-lalt", "-lctrl"}, "+2=ModeSelectionEdit -2=Swallow"},
        {{"+lalt", "+rctrl", "+3", "-3", "-rctrl", "-lalt"}, "+3=ModeSearch -3=Swallow"},
        {{"+lctrl", "+lalt", "+space", "-space"}, "+space=FocusSwitch -space=Swallow"},
        // Generic codes: the extended flag tells the side.
        {{"+ctrl", "+alt", "+2", "-2"}, "+2=ModeSelectionEdit -2=Swallow"},
        // Auto-repeat acts once; the release still belongs to us.
        {{"+lctrl", "+lalt", "+space", "+space", "+space", "-space"},
         "+space=FocusSwitch +space=Swallow +space=Swallow -space=Swallow"},
        // Modifiers let go before the key: its release is still ours.
        {{"+lctrl", "+lalt", "+2", "-lalt", "-lctrl", "-2"}, "+2=ModeSelectionEdit -2=Swallow"},
        // Two chords in a row while the modifiers stay down.
        {{"+lctrl", "+lalt", "+1", "-1", "+3", "-3"},
         "+1=ModeEdit -1=Swallow +3=ModeSearch -3=Swallow"},
    };
    for (const auto& c : cases) {
        std::string trace;
        for (const auto& s : c.script)
            trace += s + " ";
        EXPECT_EQ(RunKeys(c.script), c.want) << "script: " << trace;
    }
}

TEST(ShortcutKeys, LeavesEverythingElseToTheProgramInFront)
{
    std::vector<std::vector<std::string>> scripts = {
        // AltGr arrives as Ctrl + right Alt, in each of its spellings.
        {"+lctrl", "+ralt", "+2", "-2", "-ralt", "-lctrl"},
        {"+lctrl", "+alt*", "+2", "-2"},
        {"+lctrl", "+lalt", "+ralt", "+2", "-2"},
        // Missing or extra modifiers.
        {"+lalt", "+2", "-2"},
        {"+lctrl", "+2", "-2"},
        {"+2", "-2", "+space", "-space"},
        {"+lctrl", "+lalt", "+lshift", "+2", "-2"},
        {"+lctrl", "+lalt", "+shift", "+1", "-1"},
        {"+lwin", "+lctrl", "+lalt", "+3", "-3"},
        // Other keys with the chord held.
        {"+lctrl", "+lalt", "+4", "-4", "+a", "-a"},
        // Modifiers released again before the key.
        {"+lctrl", "+lalt", "-lalt", "+2", "-2"},
        {"+lctrl", "+lalt", "-lctrl", "+space", "-space"},
        // A key pressed before the chord is complete keeps its release.
        {"+2", "+lctrl", "+lalt", "-2"},
    };
    for (const auto& script : scripts) {
        std::string trace;
        for (const auto& s : script)
            trace += s + " ";
        EXPECT_EQ(RunKeys(script), "") << "script: " << trace;
    }
}

TEST(ShortcutKeys, TakesNoKeyWithoutAWindowToActOn)
{
    std::vector<std::string> modes = {"+lctrl", "+lalt", "+2", "-2", "+space", "-space"};
    EXPECT_EQ(RunKeys(modes, {true, false}), "+space=FocusSwitch -space=Swallow");
    EXPECT_EQ(RunKeys(modes, {false, true}), "+2=ModeSelectionEdit -2=Swallow");
    EXPECT_EQ(RunKeys(modes, {false, false}), "");
}

TEST(ShortcutKeys, ResetForgetsHeldKeys)
{
    ShortcutKeys keys;
    keys.OnKey({VkLControl, true, false}, {true, true});
    keys.OnKey({VkLMenu, true, false}, {true, true});
    keys.Reset();
    EXPECT_EQ(keys.OnKey({Vk2, true, false}, {true, true}), KeyAction::PassOn);
}

// Mouse scripts: "dX,Y@T" presses at (X, Y) at time T ms, "uX,Y" releases.
// The result lists the steps that copy.
std::string RunMouse(const std::vector<std::string>& script)
{
    SelectionGestures g(MouseSettings{4, 4, 500, 4, 4});
    std::string out;
    for (const auto& step : script) {
        int x = 0, y = 0;
        unsigned t = 0;
        MouseAction a;
        if (step[0] == 'd') {
            std::sscanf(step.c_str() + 1, "%d,%d@%u", &x, &y, &t);
            a = g.OnLeftDown(x, y, t);
        } else {
            std::sscanf(step.c_str() + 1, "%d,%d", &x, &y);
            a = g.OnLeftUp(x, y);
        }
        if (a == MouseAction::CopySelection)
            out += (out.empty() ? "" : " ") + step;
    }
    return out;
}

TEST(SelectionGestures, CopiesAtTheEndOfADragOrADoubleClick)
{
    struct {
        std::vector<std::string> script;
        std::string want;
    } cases[] = {
        // Drags: beyond the threshold in either direction.
        {{"d100,100@0", "u160,100"}, "u160,100"},
        {{"d100,100@0", "u95,100"}, "u95,100"},
        {{"d100,100@0", "u100,90"}, "u100,90"},
        {{"d100,100@0", "u104,96"}, ""}, // within the threshold: a click
        // Double-clicks: copy on the second release only.
        {{"d50,50@1000", "u50,50", "d51,49@1300", "u51,49"}, "u51,49"},
        {{"d50,50@1000", "u50,50", "d50,50@1500", "u50,50"}, "u50,50"}, // at the limit
        {{"d50,50@1000", "u50,50", "d50,50@1501", "u50,50"}, ""},       // too slow
        {{"d50,50@1000", "u50,50", "d53,50@1100", "u53,50"}, ""},       // too far
        // A third click starts a new pair; the fourth completes it.
        {{"d50,50@0", "u50,50", "d50,50@100", "u50,50", "d50,50@200", "u50,50", "d50,50@300",
          "u50,50"},
         "u50,50 u50,50"},
        // A drag does not count as the first click of a double-click.
        {{"d10,10@0", "u90,10", "d90,10@100", "u90,10"}, "u90,10"},
        // Time wraps around.
        {{"d50,50@4294967200", "u50,50", "d50,50@100", "u50,50"}, "u50,50"},
        // A release whose press came before the hook was set.
        {{"u300,300"}, ""},
        {{"u300,300", "d10,10@0", "u10,10"}, ""},
    };
    for (const auto& c : cases) {
        std::string trace;
        for (const auto& s : c.script)
            trace += s + " ";
        EXPECT_EQ(RunMouse(c.script), c.want) << "script: " << trace;
    }
}

// A script of what the hook sees: "p5@0" the copy asked for with the
// clipboard at sequence number 5 at time 0; "h6t@10" a change to 6 handled,
// made by the program in front ("o": by another); "d6@20" a timer with the
// clipboard at 6; "a6@30" the copy abandoned with the clipboard at 6;
// "+ctrl", "-c"... a key the person presses or releases.
// Returns every step that is not Wait as "event=Step".
std::string RunGiveBack(const std::vector<std::string>& script)
{
    ClipboardGiveBack rule;
    CopyKeys keys;
    std::string out;
    for (const auto& event : script) {
        unsigned seq = 0, at = 0;
        char by = 0;
        GiveBackStep step = GiveBackStep::Wait;
        if (event[0] == '+' || event[0] == '-') {
            if (keys.OnKey(Parse(event)))
                step = rule.PersonCopied();
        } else if (std::sscanf(event.c_str(), "p%u@%u", &seq, &at) == 2)
            rule.CopyPressed(seq, at);
        else if (std::sscanf(event.c_str(), "h%u%c@%u", &seq, &by, &at) == 3)
            step = rule.ChangeHandled(seq, by == 't', at);
        else if (std::sscanf(event.c_str(), "d%u@%u", &seq, &at) == 2)
            step = rule.Due(seq, at);
        else if (std::sscanf(event.c_str(), "a%u@%u", &seq, &at) == 2)
            step = rule.CopyAbandoned(seq, at);
        else
            ADD_FAILURE() << "unknown event " << event;
        if (step != GiveBackStep::Wait)
            out += (out.empty() ? "" : " ") + event +
                   (step == GiveBackStep::GiveBack ? "=GiveBack" : "=Forget");
    }
    return out + (rule.Active() ? " (active)" : "");
}

TEST(ClipboardGiveBack, OnlyTheHooksOwnCopyIsUndoneAndOnlyInTime)
{
    struct {
        std::vector<std::string> script;
        std::string want;
    } cases[] = {
        // The copy comes, is handled, and the clipboard goes back.
        {{"p5@0", "d5@500", "h6t@600", "d6@610"}, "h6t@600=GiveBack d6@610=GiveBack (active)"},
        // Given back up to 300 ms after the copy was handled, not later.
        {{"p5@0", "h6t@10", "d6@310"}, "h6t@10=GiveBack d6@310=GiveBack (active)"},
        {{"p5@0", "h6t@10", "d6@311"}, "h6t@10=GiveBack d6@311=Forget"},
        // The program in front never copies.
        {{"p5@0", "d5@1000", "d5@1001"}, "d5@1001=Forget"},
        {{"p5@0", "h6t@1001"}, "h6t@1001=Forget"},
        // A change handled without a new number is no copy.
        {{"p5@0", "h5t@10"}, " (active)"},
        // Another program copies first: its copy stays.
        {{"p5@0", "h6o@10", "h7t@20", "d7@30"}, "h6o@10=Forget d7@30=Forget"},
        // A new content after ours was handled, before it was undone, stays,
        // even from the same program (an edit control owns all its copies).
        {{"p5@0", "h6t@10", "h7t@20", "d7@30"}, "h6t@10=GiveBack h7t@20=Forget d7@30=Forget"},
        // The same change told twice is still ours.
        {{"p5@0", "h6t@10", "h6t@15", "d6@20"}, "h6t@10=GiveBack d6@20=GiveBack (active)"},
        // A second selection while the first is in flight waits for its own copy.
        {{"p5@0", "h6t@10", "p6@20", "d6@30", "h7t@40", "d7@50"},
         "h6t@10=GiveBack h7t@40=GiveBack d7@50=GiveBack (active)"},
        // A copy abandoned: nothing to give back, unless the clipboard still
        // holds an earlier copy of ours that waited to be undone.
        {{"p5@0", "a5@10", "h6t@20"}, "a5@10=Forget"},
        {{"p5@0", "h6t@10", "p6@20", "a6@30", "d6@40"},
         "h6t@10=GiveBack a6@30=GiveBack d6@40=GiveBack (active)"},
        {{"p5@0", "h6t@10", "p6@20", "a7@30"}, "h6t@10=GiveBack a7@30=Forget"},
        // Formats rendered on request move the number on without a change
        // told: given back once the number holds still, unless a change
        // comes meanwhile.
        {{"p5@0", "h6t@10", "d8@20", "d8@35"}, "h6t@10=GiveBack d8@35=GiveBack (active)"},
        {{"p5@0", "h6t@10", "d8@20", "d9@35", "d9@50"}, "h6t@10=GiveBack d9@50=GiveBack (active)"},
        {{"p5@0", "h6t@10", "d8@20", "h8t@25", "d8@35"},
         "h6t@10=GiveBack h8t@25=Forget d8@35=Forget"},
        // The person copies or cuts while the give-back waits, or before the
        // copy came: theirs stays, whichever program it is.
        {{"p5@0", "h6t@10", "+ctrl", "+c", "d6@20"}, "h6t@10=GiveBack +c=Forget d6@20=Forget"},
        {{"p5@0", "+lctrl", "+x", "h6t@10"}, "+x=Forget"},
        {{"p5@0", "h6t@10", "+rctrl", "+ins"}, "h6t@10=GiveBack +ins=Forget"},
        {{"p5@0", "h6t@10", "+shift", "+del"}, "h6t@10=GiveBack +del=Forget"},
        // Keys that do not copy leave it; so does the copy key once its Ctrl
        // is up, and AltGr or Alt with it.
        {{"p5@0", "h6t@10", "+c", "+ctrl", "+v", "-v", "+del", "-ctrl", "+c", "d6@20"},
         "h6t@10=GiveBack d6@20=GiveBack (active)"},
        {{"p5@0", "h6t@10", "+ctrl", "+ralt", "+c", "-ralt", "+lalt", "+x", "d6@20"},
         "h6t@10=GiveBack d6@20=GiveBack (active)"},
        // Time wraps around.
        {{"p5@4294967000", "h6t@100", "d6@300"}, "h6t@100=GiveBack d6@300=GiveBack (active)"},
        // Nothing in flight: changes and keys are the person's.
        {{"h6t@10", "+ctrl", "+c", "d6@20"}, "d6@20=Forget"},
    };
    for (const auto& c : cases) {
        std::string trace;
        for (const auto& s : c.script)
            trace += s + " ";
        EXPECT_EQ(RunGiveBack(c.script), c.want) << "script: " << trace;
    }
}

TEST(WindowClasses, ConsolesTerminalsAndControlsThatCopyOnWmCopyAreRecognisedWhateverTheCase)
{
    for (const char* name : {"Edit", "EDIT", "RichEdit20W", "richedit50w", "Scintilla"})
        EXPECT_TRUE(CopiesOnWmCopy(name)) << name;
    for (const char* name : {"", "Static", "Edit2", "Chrome_RenderWidgetHostHWND", "VkKeysOnlyEdit"})
        EXPECT_FALSE(CopiesOnWmCopy(name)) << name;
    EXPECT_FALSE(CopiesOnWmCopy(nullptr));
    for (const char* name : {"ConsoleWindowClass", "consolewindowclass", "CASCADIA_HOSTING_WINDOW_CLASS",
                             "mintty", "PuTTY", "VirtualConsoleClass"})
        EXPECT_TRUE(IsTerminalWindowClass(name)) << name;
    for (const char* name : {"Notepad", "Edit", "", "ConsoleWindowClassX", "Console", "mint",
                             "Chrome_WidgetWin_1"})
        EXPECT_FALSE(IsTerminalWindowClass(name)) << name;
    EXPECT_FALSE(IsTerminalWindowClass(nullptr));
}

} // namespace
