// An editor in a real window for the view tests: a borderless form holding it, a recording of
// every run of text and every fill the editor draws, and pixel reads of what it painted.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "EditorTestUtil.h"
#include "platform/Classes.h"
#include "platform/Forms.h"
#include "platform/Services.h"
#include "tests/TestServices.h"

// One run handed to ExtTextPaint: where, what, and the canvas state it was drawn with.
struct TRun
{
    int x = 0;
    int y = 0;
    std::string text;
    TColor fg = 0; // RGB
    TColor bg = 0; // RGB
    unsigned style = 0;
    bool selected = false;
};

class TRecordingEdit : public TAFEdit
{
public:
    using TAFEdit::TAFEdit;

    std::vector<TRun> runs;
    std::vector<TRect> fills;
    std::vector<int> drawnRows;
    int metricsUpdates = 0;

    void ExtTextPaint(int x, int y, int left, const AnsiString& s) override
    {
        TCanvas* c = GetMyCanvas();
        runs.push_back(TRun{x, y, s.str(), ColorToRGB(c->Font()->Color()), ColorToRGB(c->Brush()->Color()),
                            c->Font()->Style().ToInt(), LastFontSelected()});
        TAFEdit::ExtTextPaint(x, y, left, s);
    }
    void FillEditRect(const TRect& rect) override
    {
        fills.push_back(rect);
        TAFEdit::FillEditRect(rect);
    }
    void DrawLine(int row) override
    {
        drawnRows.push_back(row);
        TAFEdit::DrawLine(row);
    }
    void MetricsUpdate(bool repaint) override
    {
        ++metricsUpdates;
        TAFEdit::MetricsUpdate(repaint);
    }
    using TAFEdit::NoteLineWidth;
    using TAFEdit::SetLeftColRaw;
    using TAFEdit::SetTopLineRaw;

    void Clean()
    {
        runs.clear();
        fills.clear();
        drawnRows.clear();
    }
    // Draws one row over the whole edit rectangle and returns the runs of its text area.
    std::vector<TRun> DrawRow(int row)
    {
        Clean();
        SetPaintRect(EditRect());
        DrawLine(row);
        return TextRuns();
    }
    std::vector<TRun> TextRuns() const
    {
        std::vector<TRun> out;
        for (const TRun& r : runs)
            if (r.y >= EditRect().Top && r.x + int(r.text.size()) * GetColWidth() > EditRect().Left)
                out.push_back(r);
        return out;
    }
    // Display column of a run's first cell.
    int ColOf(const TRun& r) const { return (r.x - EditRect().Left) / GetColWidth() + GetLeftCol(); }
};

// A borderless form whose client area is the editor.
class TViewHost
{
public:
    TViewHost(int width = 640, int height = 400)
    {
        form = Create<TForm>(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(0, 0, width, height);
        edit = Create<TRecordingEdit>(form);
        edit->SetBounds(0, 0, width, height);
        edit->SetVisible(true);
        form->HandleNeeded();
        edit->HandleNeeded();
    }
    ~TViewHost() { delete form; }
    TViewHost(const TViewHost&) = delete;
    TViewHost& operator=(const TViewHost&) = delete;

    // Shows the form and gives the editor the focus.
    void Focus()
    {
        form->Show();
        edit->SetFocus();
        Pump();
    }
    void Pump()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    LRESULT Send(UINT msg, WPARAM wparam = 0, LPARAM lparam = 0)
    {
        return SendMessageW(edit->Handle(), msg, wparam, lparam);
    }
    void Load(const std::string& bytes, TConvMode modes = TConvMode{})
    {
        TStringStream stream(AnsiString(bytes.data(), int(bytes.size())));
        edit->LoadFromStream(&stream, modes);
    }

    TForm* form = nullptr;
    TRecordingEdit* edit = nullptr;
};

// The editor painted into a bitmap of its client size (WM_PAINT with a DC), read back by pixel.
class TSnapshot
{
public:
    explicit TSnapshot(TViewHost& host)
    {
        RECT r{};
        GetClientRect(host.edit->Handle(), &r);
        bitmap.SetSize(std::max<int>(1, r.right), std::max<int>(1, r.bottom));
        dc = bitmap.Canvas()->Handle();
        SendMessageW(host.edit->Handle(), WM_PAINT, WPARAM(dc), 0);
        GdiFlush();
    }
    TColor At(int x, int y) const { return TColor(GetPixel(dc, x, y)); }
    // How many pixels of the rectangle have the colour.
    int Count(const TRect& r, TColor rgb) const
    {
        int n = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                if (At(x, y) == rgb)
                    ++n;
        return n;
    }
    TBitmap bitmap;
    HDC dc = nullptr;
};

inline std::string Sjis(const char* s) { return std::string(s); }
