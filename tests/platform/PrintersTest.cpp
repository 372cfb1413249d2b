// Metafiles, the printer object without a usable printer, the progress bar and the scroll box.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/Buttons.h"
#include "platform/Cp932.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/Printers.h"

TEST(TMetafile, KeepsItsRecordingWithoutAHandleAndPlaysItBack)
{
    TMetafile m;
    m.SetWidth(200);
    m.SetHeight(100);
    {
        TMetafileCanvas c(&m, nullptr);
        c.Brush()->SetColor(clRed);
        c.FillRect(TRect(0, 0, 200, 100));
        c.TextOut(10, 10, "表示");
    }
    ASSERT_FALSE(m.Empty());
    EXPECT_GT(m.Size(), 0u);
    // Played into a bitmap twice its size: the red covers it.
    TBitmap b;
    b.SetSize(400, 200);
    m.Draw(b.Canvas()->Handle(), TRect(0, 0, 400, 200));
    EXPECT_EQ(GetPixel(b.Canvas()->Handle(), 390, 190), RGB(255, 0, 0));
    // A handle on request, the same until released.
    HENHMETAFILE h = m.Handle();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(m.Handle(), h);
    ENHMETAHEADER header{};
    GetEnhMetaFileHeader(h, sizeof header, &header);
    EXPECT_GT(header.nRecords, 3u);
    m.Clear();
    EXPECT_TRUE(m.Empty());
    EXPECT_EQ(m.Handle(), nullptr);
}

TEST(TPrinter, RefusesWhatNeedsAPrinterItDoesNotHave)
{
    TPrinter p;
    const int count = p.Printers()->GetCount();
    EXPECT_THROW(p.SetPrinterIndex(count), EPrinter);
    EXPECT_THROW(p.SetPrinterIndex(-2), EPrinter);
    EXPECT_FALSE(p.Printing());
    p.EndDoc(); // nothing to end
    p.Abort();
    EXPECT_THROW(p.NewPage(), EPrinter);
    if (count == 0)
    {
        EXPECT_EQ(p.PrinterIndex(), -1);
        EXPECT_THROW(p.Handle(), EPrinter);
        EXPECT_THROW(p.PageWidth(), EPrinter);
        EXPECT_THROW(p.BeginDoc(), EPrinter);
        EXPECT_FALSE(p.Printing());
    }
}

TEST(TProgressBar, PositionStaysInItsRange)
{
    auto* form = Create<TForm>(nullptr);
    auto* bar = PlaceControl(form, Create<TProgressBar>(form), "Bar", "", 0, 0, 100, 16);
    const struct
    {
        int min, max, set, expected;
    } cases[] = {{0, 100, 50, 50}, {0, 100, 150, 100}, {0, 100, -5, 0}, {10, 20, 5, 10}, {20, 10, 15, 15}};
    for (const auto& c : cases)
    {
        bar->SetRange(c.min, c.max);
        bar->SetPosition(c.set);
        EXPECT_EQ(bar->Position(), c.expected);
        EXPECT_EQ(int(SendMessageW(bar->Handle(), PBM_GETPOS, 0, 0)), c.expected);
    }
    delete form;
}

TEST(TScrollBox, ScrollsItsChildrenWithinTheirExtent)
{
    auto* form = Create<TForm>(nullptr);
    form->SetBounds(0, 0, 300, 300);
    auto* box = PlaceControl(form, Create<TScrollBox>(form), "Box", "", 0, 0, 200, 200);
    auto* child = PlaceControl(box, Create<TPanel>(form), "Page", "", 0, 0, 500, 150);
    form->Show();
    box->UpdateScrollBars();
    EXPECT_EQ(box->VertRange(), 0);
    const int range = box->HorzRange();
    EXPECT_EQ(range, 500 - box->ClientWidth());
    const struct
    {
        int to, expected;
    } moves[] = {{40, 40}, {range + 100, range}, {-10, 0}};
    for (const auto& m : moves)
    {
        box->SetHorzPosition(m.to);
        EXPECT_EQ(box->HorzPosition(), m.expected);
        EXPECT_EQ(child->Left(), -m.expected);
        EXPECT_EQ(GetScrollPos(box->Handle(), SB_HORZ), m.expected);
    }
    delete form;
}
