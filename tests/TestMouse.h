// The left button and the pointer as the window of an editor receives them: button and move
// messages at the client pixels of display cells.
#pragma once

#include <windows.h>

#include "editor_control/AFEdit.h"

struct TMouse
{
    TCustomAFEdit& ed;
    // Client pixel of a display cell, dx pixels into it.
    POINT At(int col, int row, int dx = 1) const
    {
        return POINT{ed.EditRect().Left + (col - ed.GetLeftCol()) * ed.GetColWidth() + dx,
                     ed.EditRect().Top + (row - ed.GetTopLine()) * ed.GetRowHeight() + 1};
    }
    void Send(UINT msg, WPARAM keys, POINT p) { SendMessageW(ed.Handle(), msg, keys, MAKELPARAM(p.x, p.y)); }
    void Down(POINT p) { Send(WM_LBUTTONDOWN, MK_LBUTTON, p); }
    void Move(POINT p) { Send(WM_MOUSEMOVE, MK_LBUTTON, p); }
    void Up(POINT p) { Send(WM_LBUTTONUP, 0, p); }
    void Click(POINT p)
    {
        Down(p);
        Up(p);
    }
    void Drag(POINT from, POINT to)
    {
        Down(from);
        Move(to);
        Up(to);
    }
    void DoubleClick(POINT p)
    {
        Click(p);
        Send(WM_LBUTTONDBLCLK, MK_LBUTTON, p);
        Up(p);
    }
};
