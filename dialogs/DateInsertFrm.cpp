// The date and time insertion windows.
#include "dialogs/DateInsertFrm.h"

#include <cstring>

#include "common/English.h"
#include "common/WexmoorDef.h"
#include "platform/SysUtils.h"

TDateInsertForm* DateInsertForm = nullptr;
TTimeInsertForm* TimeInsertForm = nullptr;

namespace
{
const char* const kDateFormats[] = {
    "yy/m/d", "yyyy/mm/dd", "m'月'd'日('dddd')'", "@m'月'd'日'", "@m'月'd'日('dddd')'",
};
const char* const kTimeFormats[] = {
    "h:n:s", "hh:nn:ss", "AM/PM h:n:s", "h'時'n'分's'秒'", "ampm h'時'n'分's'秒'",
};
const char* const kWeekdays[] = {"日曜日", "月曜日", "火曜日", "水曜日", "木曜日", "金曜日", "土曜日"};

// First days of the eras, newest first.
struct typEra
{
    int year, month, day;
    const char* name;
};
const typEra kEras[] = {
    {2019, 5, 1, "令和"}, {1989, 1, 8, "平成"}, {1926, 12, 25, "昭和"}, {1912, 7, 30, "大正"}, {1868, 1, 1, "明治"},
};

AnsiString Number(int value, int width)
{
    AnsiString text = IntToStr(value);
    while (text.Length() < width)
        text = "0" + text;
    return text;
}

// How many times c repeats from p on.
int Run(const char* p, char c)
{
    int n = 0;
    while (p[n] == c || p[n] == c - 'a' + 'A')
        ++n;
    return n;
}
} // namespace

AnsiString JapaneseEraYear(const SYSTEMTIME& when)
{
    const int day = when.wYear * 10000 + when.wMonth * 100 + when.wDay;
    const typEra* era = &kEras[std::size(kEras) - 1]; // earlier dates count in the oldest era
    for (const typEra& e : kEras)
        if (day >= e.year * 10000 + e.month * 100 + e.day)
        {
            era = &e;
            break;
        }
    return AnsiString(era->name) + IntToStr(when.wYear - era->year + 1) + "年";
}

AnsiString FormatStamp(const char* format, const SYSTEMTIME& when)
{
    const bool twelve = std::strstr(format, "AM/PM") || std::strstr(format, "ampm");
    const bool pm = when.wHour >= 12;
    int hour = when.wHour;
    if (twelve)
        hour = hour % 12 == 0 ? 12 : hour % 12;
    AnsiString out;
    for (const char* p = format; *p;)
    {
        if (*p == '\'')
        {
            const char* end = std::strchr(p + 1, '\'');
            const size_t n = end ? size_t(end - p - 1) : std::strlen(p + 1);
            out += AnsiString(p + 1, int(n));
            p += n + (end ? 2 : 1);
            continue;
        }
        if (std::strncmp(p, "AM/PM", 5) == 0)
        {
            out += pm ? "PM" : "AM";
            p += 5;
            continue;
        }
        if (std::strncmp(p, "ampm", 4) == 0)
        {
            out += pm ? "午後" : "午前";
            p += 4;
            continue;
        }
        // Lead bytes of double-byte characters pass through with their trail byte.
        const unsigned char b = static_cast<unsigned char>(*p);
        if (((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) && p[1])
        {
            out += AnsiString(p, 2);
            p += 2;
            continue;
        }
        const char c = char(*p | 0x20);
        const int n = (c >= 'a' && c <= 'z') ? Run(p, c) : 0;
        switch (n ? c : 0)
        {
        case 'y': out += n <= 2 ? Number(when.wYear % 100, 2) : Number(when.wYear, 4); break;
        case 'm': out += Number(when.wMonth, n >= 2 ? 2 : 1); break;
        case 'd': out += n >= 4 ? AnsiString(kWeekdays[when.wDayOfWeek % 7]) : Number(when.wDay, n >= 2 ? 2 : 1); break;
        case 'h': out += Number(hour, n >= 2 ? 2 : 1); break;
        case 'n': out += Number(when.wMinute, n >= 2 ? 2 : 1); break;
        case 's': out += Number(when.wSecond, n >= 2 ? 2 : 1); break;
        default:
            out += AnsiString(p, 1);
            ++p;
            continue;
        }
        p += n;
    }
    return out;
}

TStampInsertForm::TStampInsertForm(TComponent* owner, const char* name, const char* caption, const char* helpKeyword)
    : TForm(owner), helpKeyword_(helpKeyword)
{
    SetName(name);
    SetCaption(caption);
    SetBorderStyle(bsToolWindow);
    SetPosition(poMainFormCenter);
    SetBounds(300, 200, 300, 200);
    SetKeyPreview(true);
    TimeListBox = PlaceControl(this, Create<TListBox>(this), "TimeListBox", "", 8, 8, 200, 150);
    OkBtn = PlaceControl(this, Create<TButton>(this), "OkBtn", "OK", 216, 8, 70, 25);
    OkBtn->SetDefault(true);
    OkBtn->OnClick = TNotifyEvent(this, &TStampInsertForm::OkBtnClick);
    CancelBtn = PlaceControl(this, Create<TButton>(this), "CancelBtn", "ｷｬﾝｾﾙ", 216, 40, 70, 25);
    CancelBtn->SetCancel(true);
    CancelBtn->SetModalResult(mrCancel);
    Timer = Create<TTimer>(this);
    Timer->SetEnabled(false);
    Timer->SetInterval(1000);
    Timer->OnTimer = TNotifyEvent(this, &TStampInsertForm::TimerTimer);
    Clock = [] {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        return now;
    };
    OnShow = TNotifyEvent(this, &TStampInsertForm::FormShow);
    OnClose = TCloseEvent(this, &TStampInsertForm::FormClose);
    OnKeyDown = TKeyEvent(this, &TStampInsertForm::FormKeyDown);
}

void TStampInsertForm::FormShow(TObject*)
{
    TimeListBox->Clear();
    const size_t count = Lines(Clock()).size();
    for (size_t i = 0; i < count; ++i)
        TimeListBox->Items()->Add("");
    TimerTimer(nullptr);
    TimeListBox->SetItemIndex(0);
    // The arrow keys choose a line at once.
    if (TimeListBox->HandleAllocated() && TimeListBox->CanFocus())
        TimeListBox->SetFocus();
    Timer->SetEnabled(true);
}

void TStampInsertForm::FormClose(TObject*, TCloseAction&) { Timer->SetEnabled(false); }

void TStampInsertForm::TimerTimer(TObject*)
{
    const std::vector<AnsiString> lines = Lines(Clock());
    TStrings* items = TimeListBox->Items();
    for (int i = 0; i < int(lines.size()) && i < items->GetCount(); ++i)
        if (items->Get(i) != lines[size_t(i)])
            items->Put(i, lines[size_t(i)]);
}

void TStampInsertForm::OkBtnClick(TObject*)
{
    const int index = TimeListBox->ItemIndex();
    if (index >= 0 && TypeIntoPage)
        TypeIntoPage(TimeListBox->Items()->Get(index));
    SetModalResult(mrOk); // shown modally: this closes it
}

void TStampInsertForm::FormKeyDown(TObject*, WORD& key, TShiftState)
{
    if (key == VK_F1)
    {
        key = 0;
        ShowHelp(Handle(), helpKeyword_);
    }
}

TDateInsertForm::TDateInsertForm(TComponent* owner)
    : TStampInsertForm(owner, "DateInsertForm", "日付の挿入", msgHelpDate)
{
}

std::vector<AnsiString> TDateInsertForm::Lines(const SYSTEMTIME& when) const
{
    std::vector<AnsiString> lines;
    for (const char* format : kDateFormats)
    {
        AnsiString line = FormatStamp(format, when);
        if (const int at = line.Pos("@"))
        {
            line.Delete(at, 1);
            line.Insert(JapaneseEraYear(when), at);
        }
        lines.push_back(line);
    }
    return lines;
}

TTimeInsertForm::TTimeInsertForm(TComponent* owner)
    : TStampInsertForm(owner, "TimeInsertForm", "時刻の挿入", msgHelpTime)
{
}

std::vector<AnsiString> TTimeInsertForm::Lines(const SYSTEMTIME& when) const
{
    std::vector<AnsiString> lines;
    for (const char* format : kTimeFormats)
        lines.push_back(FormatStamp(format, when));
    return lines;
}
