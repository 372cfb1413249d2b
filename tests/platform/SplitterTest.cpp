// A splitter under Wine: a bar aligned beside its neighbour, in its colour, with the sizing cursor.
#include <gtest/gtest.h>

#include "platform/Forms.h"
#include "platform/Splitter.h"

TEST(TSplitter, StandsAtTheLeftEdgeInItsColourWithTheSizingCursor)
{
    TForm* form = Create<TForm>(nullptr);
    form->SetBounds(0, 0, 300, 200);
    auto* splitter = Create<TSplitter>(form);
    splitter->SetParent(form);
    splitter->SetColor(clRed);
    form->Show();
    EXPECT_EQ(splitter->Left(), 0);
    EXPECT_EQ(splitter->Height(), form->ClientHeight());
    RedrawWindow(splitter->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC dc = GetDC(splitter->Handle());
    EXPECT_EQ(GetPixel(dc, 1, 50), RGB(255, 0, 0));
    ReleaseDC(splitter->Handle(), dc);
    EXPECT_EQ(splitter->Cursor(), crSizeWE);
    delete form;
}
