// The repeat rule texts of 6.x calendar items and tasks (PmEx2Repeat), in
// two modes chosen by the low bit of the first byte:
// - text: the rest is a stored rule text, parsed as a calendar item's and as
//   a task's; the write-back of an unchanged record must keep the stored
//   text as it is (BuildRepeat), and building a text from whatever was
//   parsed must not fail;
// - block: a rule a user can make (kind, interval, weekdays, week, day, an
//   end date or none) built into its text must parse back to the same rule.
#include "FuzzSupport.h"

#include "palm/PalmDateEx2.h"
#include "palm/PalmTodoEx2.h"

#include <cstring>
#include <memory>
#include <string>

namespace {

void Text(fuzz::Bytes& in)
{
    int32_t start = int32_t(in.U32());
    std::string text = in.Rest();
    // The parser gets a text of exactly its length, so that a read past its
    // terminator is seen.
    std::unique_ptr<char[]> exact(new char[text.size() + 1]);
    std::memcpy(exact.get(), text.c_str(), text.size() + 1);
    for (bool yearly : {true, false}) {
        for (bool scanEnd : {false, true}) {
            PmEx2RepeatBlock block = {};
            PmEx2Repeat::Parse(exact.get(), &block, yearly, start, scanEnd);
            PmEx2Repeat::Build(block, yearly, start);
        }
    }

    auto date = std::make_unique<PmDateEx2Record>();
    date->StartTimeText.Set(std::to_string(start));
    date->RepeatedEvent.Set(text.c_str());
    PmDateEx2Util::ParseRepeat(date.get());
    std::string stored = date->RepeatedEvent.c_str();
    PmDateEx2Util::BuildRepeat(date.get());
    if (stored != date->RepeatedEvent.c_str())
        fuzz::Fail("an unchanged calendar rule was rewritten", stored + " -> " + date->RepeatedEvent.c_str());

    auto task = std::make_unique<PmTodoEx2Record>();
    task->RepeatInfo.Set(text.c_str());
    PmTodoEx2Util::ParseRepeat(task.get());
    stored = task->RepeatInfo.c_str();
    PmTodoEx2Util::BuildRepeat(task.get());
    if (stored != task->RepeatInfo.c_str())
        fuzz::Fail("an unchanged task rule was rewritten", stored + " -> " + task->RepeatInfo.c_str());
}

void Block(fuzz::Bytes& in)
{
    bool yearly = in.U8() & 1;  // a calendar item's rule; else a task's
    int32_t start = PmEx2TimeFromParts(1990 + in.U8() % 40, 1 + in.U8() % 12, 1 + in.U8() % 28);
    PmEx2RepeatBlock b = {};
    b.Kind = 1 + in.U8() % (yearly ? 5 : 4);
    b.Interval = 1 + in.U8() % 99;
    switch (b.Kind) {
    case 2:
        b.DaysMask = uint8_t(1 + in.U8() % 127);
        break;
    case 3:
        b.DaysMask = uint8_t(1u << (in.U8() % 7));
        b.WeekIndex = in.U8() % 5;
        break;
    case 4:
        b.DayNumber = 1 + in.U8() % 31;
        break;
    case 5: {
        // A yearly rule repeats on the start's day and month.
        int y = 0, m = 0, d = 0;
        if (!PmEx2TimeParts(start, &y, &m, &d))
            fuzz::Fail("a start date cannot be broken down");
        b.MonthIndex = m - 1;
        b.DayNumber = d;
        break;
    }
    }
    if (in.U8() & 1)
        b.EndDate = kPmEx2NoEnd;
    else
        b.EndDate = PmEx2TimeFromParts(1990 + in.U8() % 45, 1 + in.U8() % 12, 1 + in.U8() % 28);
    std::string text = PmEx2Repeat::Build(b, yearly, start);
    PmEx2RepeatBlock back = {};
    PmEx2Repeat::Parse(text.c_str(), &back, yearly, start, !yearly);
    if (!PmEx2Repeat::Equal(b, back))
        fuzz::Fail("a built rule parses back otherwise", text);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::Setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Bytes in(data, size);
    if (in.U8() & 1)
        Block(in);
    else
        Text(in);
    return 0;
}
