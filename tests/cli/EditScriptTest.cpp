#include "edit/EditScript.h"

#include "model/Timecode.h"

#include <gtest/gtest.h>

namespace orvik {

namespace {

using V = EditStep::Verb;

// A step with only the fields a case sets; the rest keep their defaults.
struct Good {
    const char* line;
    EditStep want;
};

EditStep S(V verb) {
    EditStep s;
    s.verb = verb;
    return s;
}
EditStep Placed(V verb, Time at, int32_t track = -1) {
    EditStep s = S(verb);
    s.at = at;
    s.track = track;
    return s;
}
EditStep Scene(std::string path, Time from, Time to, Time at, int32_t track = -1) {
    EditStep s = Placed(V::InsertScene, at, track);
    s.path = std::move(path);
    s.from = from;
    s.to = to;
    return s;
}
EditStep Graphic(std::string path, Time duration, Time at, int32_t track = -1) {
    EditStep s = Placed(V::InsertGraphic, at, track);
    s.path = std::move(path);
    s.duration = duration;
    return s;
}
EditStep Sound(std::string path, Time at, int32_t track = -1) {
    EditStep s = Placed(V::InsertSound, at, track);
    s.path = std::move(path);
    return s;
}
EditStep Transition(int32_t effect, int32_t number, Time duration, Time at, int32_t track = -1) {
    EditStep s = Placed(V::InsertTransition, at, track);
    s.effect = effect;
    s.effectNumber = number;
    s.duration = duration;
    return s;
}
EditStep Amount(V verb, Time amount) {
    EditStep s = S(verb);
    s.amount = amount;
    return s;
}
EditStep Clips(V verb, int32_t first, int32_t last) {
    EditStep s = S(verb);
    s.range = {first, last};
    return s;
}
EditStep Step(int32_t code, bool extend) {
    EditStep s = S(V::SelectStep);
    s.step = code;
    s.extend = extend;
    return s;
}
EditStep Text(V verb, std::string text) {
    EditStep s = S(verb);
    (verb == V::Comment ? s.text : s.path) = std::move(text);
    return s;
}
EditStep Reverse(bool on) {
    EditStep s = S(V::Reverse);
    s.on = on;
    return s;
}

void ExpectSame(const EditStep& got, const EditStep& want, const std::string& line) {
    SCOPED_TRACE(line);
    EXPECT_EQ(got.verb, want.verb);
    EXPECT_EQ(got.path, want.path);
    EXPECT_EQ(got.text, want.text);
    EXPECT_EQ(got.from, want.from);
    EXPECT_EQ(got.to, want.to);
    EXPECT_EQ(got.duration, want.duration);
    EXPECT_EQ(got.at, want.at);
    EXPECT_EQ(got.amount, want.amount);
    EXPECT_EQ(got.track, want.track);
    EXPECT_EQ(got.effect, want.effect);
    EXPECT_EQ(got.effectNumber, want.effectNumber);
    EXPECT_EQ(got.range, want.range);
    EXPECT_EQ(got.step, want.step);
    EXPECT_EQ(got.extend, want.extend);
    EXPECT_EQ(got.on, want.on);
}

class EditScriptTest : public testing::Test {
protected:
    void SetUp() override { Timecode::Reset(); } // 30 frames per second
    void TearDown() override { Timecode::Reset(); }
};

TEST_F(EditScriptTest, GoodLines) {
    EditStep soundRange = Sound("/s/bang.wav", 40);
    soundRange.from = 15;
    soundRange.to = 45;
    soundRange.hasRange = true;
    const Good kGood[] = {
        // Times: frames, H:MM:SS.FF forms, HH:MM:SS:FF forms, at 30 fps.
        {"insert scene tape.avi 0 90 at 0", Scene("tape.avi", 0, 90, 0)},
        {"insert scene tape.avi 1:00.00 1:02.15 at 4.00", Scene("tape.avi", 1800, 1875, 120)},
        {"insert scene tape.avi .05 0:00:01.00 at 00:00:02:10", Scene("tape.avi", 5, 30, 70)},
        {"insert scene tape.avi 4:00 1:00:00 at 1:00:00:00 track 0",
         Scene("tape.avi", 120, 1800, 108000, 0)},
        {"insert scene \"my tape.avi\" 0 10 track video at 5", Scene("my tape.avi", 0, 10, 5, 0)},
        {"  insert\tscene \"a \\\"b\\\" \\\\c\" 0 10 at 5  ", Scene("a \"b\" \\c", 0, 10, 5)},
        {"insert graphic /p/sun.bmp 90 at 15 track graphic", Graphic("/p/sun.bmp", 90, 15, 1)},
        {"insert graphic t.ttl 3.00 at 0 track title", Graphic("t.ttl", 90, 0, 1)},
        {"insert sound /s/bang.wav at 60", Sound("/s/bang.wav", 60)},
        {"insert sound /s/bang.wav 15 45 at 40 track 3",
         [&] {
             EditStep s = soundRange;
             s.track = 3;
             return s;
         }()},
        {"insert sound /s/bang.wav 15 45 at 40", soundRange},
        {"insert sound x.wav at 0 track music", Sound("x.wav", 0, 4)},
        {"insert transition 1 50500 30 at 70", Transition(1, 50500, 30, 70)},
        {"insert transition 19 0 1.00 at 2.00 track 1", Transition(19, 0, 30, 60, 1)},
        {"select 3", Clips(V::SelectClips, 2, 2)},
        {"select 2-5", Clips(V::SelectClips, 1, 4)},
        {"select add 7", Clips(V::SelectAdd, 6, 6)},
        {"select add 1-1000000", Clips(V::SelectAdd, 0, 999999)},
        {"select toggle 1", Clips(V::SelectToggle, 0, 0)},
        {"select at 1:00.00", Placed(V::SelectAt, 1800)},
        {"select at 45 track sound", Placed(V::SelectAt, 45, 3)},
        {"select all", S(V::SelectAll)},
        {"select none", S(V::SelectNone)},
        {"select first", Step(0, false)},
        {"select last extend", Step(1, true)},
        {"select previous", Step(2, false)},
        {"select next extend", Step(3, true)},
        {"select previous-page", Step(4, false)},
        {"select next-page", Step(5, false)},
        {"delete", S(V::Delete)},
        {"cut", S(V::Cut)},
        {"copy", S(V::Copy)},
        {"copy to 300 track 1", Placed(V::CopyTo, 300, 1)},
        {"paste at 10.00", Placed(V::Paste, 300)},
        {"move to 0", Placed(V::Move, 0)},
        {"trim start 10", Amount(V::TrimStart, 10)},
        {"trim start -10", Amount(V::TrimStart, -10)},
        {"trim end +1.00", Amount(V::TrimEnd, 30)},
        {"trim overlap -12", Amount(V::OverlapTrim, -12)},
        {"trim transition -0:00:00:05", Amount(V::TransitionDuration, -5)},
        {"reset start", S(V::ResetStart)},
        {"reset end", S(V::ResetEnd)},
        {"split at 1:00.00", Placed(V::Split, 1800)},
        {"reverse", Reverse(true)},
        {"reverse on", Reverse(true)},
        {"reverse off", Reverse(false)},
        {"comment  the  best # part  ", Text(V::Comment, "the  best # part")},
        {"comment \"  padded \\\" \"", Text(V::Comment, "  padded \" ")},
        {"comment \"\"", Text(V::Comment, "")},
        {"comment", Text(V::Comment, "")},
        {"undo", S(V::Undo)},
        {"redo\r", S(V::Redo)},
        {"save", S(V::Save)},
        {"save \"/tmp/out dir/m.orv\"", Text(V::Save, "/tmp/out dir/m.orv")},
    };
    for (const Good& g : kGood) {
        EditScript script;
        std::string error;
        ASSERT_TRUE(ParseEditScript(g.line, script, error)) << g.line << ": " << error;
        ASSERT_EQ(script.steps.size(), 1u) << g.line;
        EXPECT_EQ(script.steps[0].line, 1);
        ExpectSame(script.steps[0], g.want, g.line);
    }
}

TEST_F(EditScriptTest, BadLines) {
    const std::pair<const char*, const char*> kBad[] = {
        {"frobnicate", "line 1: unknown command \"frobnicate\""},
        {"insert", "line 1: what to insert (scene, graphic, sound or transition) expected"},
        {"insert movie x 0 1 at 0", "line 1: cannot insert \"movie\""},
        {"insert scene tape.avi 0 90", "line 1: \"at TIME\" expected"},
        {"insert scene tape.avi 90 90 at 0", "the end frame must come after the first frame"},
        {"insert scene tape.avi 0 at 0", "line 1: end frame: \"at\" is not a time"},
        {"insert scene \"\" 0 9 at 0", "the file name is empty"},
        {"insert scene tape.avi 0 9 at -5", "line 1: time: \"-5\" is not a time here"},
        {"insert scene tape.avi 0 9 at 0 track 2", "unknown track \"2\""},
        {"insert scene tape.avi 0 9 at 0 at 5", "unexpected \"at\""},
        {"insert graphic p.bmp 0 at 0", "the duration must not be 0"},
        {"insert sound s.wav 10 at 0", "end frame: \"at\" is not a time"},
        {"insert transition 20 1 30 at 0", "effect kind: \"20\" is not a number from 0 to 19"},
        {"insert transition -1 1 30 at 0", "effect kind: \"-1\" is not a number"},
        {"insert transition 1 1 0 at 0", "the duration must not be 0"},
        {"select", "which clips?"},
        {"select 0", "clip \"0\": a clip number from 1"},
        {"select 5-2", "clip range \"5-2\" runs backwards"},
        {"select 2-", "clip \"2-\""},
        {"select x", "clip \"x\""},
        {"select 1000001", "clip \"1000001\""},
        {"select all now", "unexpected \"now\""},
        {"select 1 3", "unexpected \"3\""},
        {"select add", "clip expected"},
        {"select toggle 2-3", "toggle takes one clip"},
        {"select add all", "clip \"all\""},
        {"select next sideways", "unexpected \"sideways\""},
        {"select at", "time expected"},
        {"delete 3", "unexpected \"3\""},
        {"copy at 5", "\"to TIME\" expected"},
        {"paste", "\"at TIME\" expected"},
        {"move 5", "\"to TIME\" expected"},
        {"trim", "start, end, overlap or transition expected"},
        {"trim middle 5", "trim \"middle\": start, end, overlap or transition"},
        {"trim start", "amount expected"},
        {"trim start 0", "the amount must not be 0"},
        {"trim start -0:00.00", "the amount must not be 0"},
        {"trim end ++5", "amount: \"++5\" is not a time"},
        {"reset both", "reset \"both\": start or end"},
        {"split 40", "\"at TIME\" expected"},
        {"split at 40 track 1", "unexpected \"track\""},
        {"reverse sideways", "unexpected \"sideways\""},
        {"comment \"open", "a quoted word is not closed"},
        {"comment \"a\" b", "unexpected \"b\" after the quoted comment"},
        {"save a b", "unexpected \"b\""},
        {"save \"\"", "the file name is empty"},
        {"insert scene \"a\"b 0 1 at 0", "a blank must follow a quoted word"},
        {"insert scene a\"b 0 1 at 0", "a quote inside a word"},
        {"insert scene \"a\\nb\" 0 1 at 0", "a backslash in quotes must be followed by"},
        {"undo\x01", "control character \"\\x01\" in the line"},
        // Times.
        {"move to 1:60.00", "seconds must be below 60"},
        {"move to 1:60:00.00", "minutes must be below 60"},
        {"move to 1.30", "frames must be below 30"},
        {"move to .30", "frames must be below 30"},
        {"move to 1:02:03:04:05", "is not a time"},
        {"move to 1..2", "is not a time"},
        {"move to 1.2.3", "is not a time"},
        {"move to 1:.5", "is not a time"},
        {"move to 5.", "is not a time"},
        {"move to :5", "is not a time"},
        {"move to 1e5", "is not a time"},
        {"move to 100:00:00.00", "is longer than 99:59:59.29"},
        {"move to 10800000", "is longer than 99:59:59.29"},
        {"move to 99999999999999999999", "is too long a time"},
        {"trim start -", "is not a time"},
    };
    for (const auto& [line, want] : kBad) {
        EditScript script;
        std::string error;
        EXPECT_FALSE(ParseEditScript(line, script, error)) << line;
        EXPECT_NE(error.find(want), std::string::npos) << line << " gave: " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_TRUE(script.steps.empty());
    }
}

TEST_F(EditScriptTest, LinesAreCountedAcrossBlanksAndComments) {
    EditScript script;
    std::string error;
    ASSERT_TRUE(
        ParseEditScript("# a movie\n\n   \t\nselect 1\r\n  # again\ndelete\nundo", script, error))
        << error;
    ASSERT_EQ(script.steps.size(), 3u);
    EXPECT_EQ(script.steps[0].line, 4);
    EXPECT_EQ(script.steps[1].line, 6);
    EXPECT_EQ(script.steps[2].line, 7);

    // The first bad line is the one named, and nothing is returned.
    script.steps.push_back(S(V::Undo));
    EXPECT_FALSE(ParseEditScript("select 1\n\ndelete\ntrim start 0\nfrobnicate\n", script, error));
    EXPECT_EQ(error, "line 4: the amount must not be 0");
    EXPECT_TRUE(script.steps.empty());

    EXPECT_TRUE(ParseEditScript("", script, error));
    EXPECT_TRUE(script.steps.empty());
}

TEST_F(EditScriptTest, TimesFollowTheFrameRate) {
    Time t = 0;
    std::string error;
    // Every form the program shows reads back as the time it showed.
    for (Time v : {0, 1, 29, 30, 59, 1799, 1800, 107999, 108000, 1234567}) {
        for (const std::string& text :
             {Timecode::Format(v), Timecode::FormatShort(v), Timecode::FormatTimecode(v, 30, true),
              Timecode::FormatTimecode(v, 30, false), std::to_string(v)}) {
            ASSERT_TRUE(ParseScriptTime(text, false, t, error)) << text << ": " << error;
            EXPECT_EQ(t, v) << text;
        }
        ASSERT_TRUE(ParseScriptTime("-" + Timecode::Format(v), true, t, error)) << error;
        EXPECT_EQ(t, -v);
    }
    // At 25 frames per second 1.24 is one second and 24 frames; 1.25 is not.
    Timecode::SetStandard(1);
    ASSERT_TRUE(ParseScriptTime("1.24", false, t, error));
    EXPECT_EQ(t, 49);
    EXPECT_FALSE(ParseScriptTime("1.25", false, t, error));
    EXPECT_EQ(MaxScriptTime(), 100 * 3600 * 25 - 1);
    ASSERT_TRUE(ParseScriptTime("99:59:59.24", false, t, error));
    EXPECT_EQ(t, MaxScriptTime());
}

TEST_F(EditScriptTest, HelpNamesEveryCommand) {
    std::string help = EditScriptHelp();
    for (const char* word : {"insert scene",
                             "insert graphic",
                             "insert sound",
                             "insert transition",
                             "select at",
                             "select all",
                             "delete",
                             "cut",
                             "copy",
                             "paste",
                             "move",
                             "trim start",
                             "trim end",
                             "trim overlap",
                             "trim transition",
                             "reset",
                             "split",
                             "reverse",
                             "comment",
                             "undo",
                             "redo",
                             "save"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
}

} // namespace

} // namespace orvik
