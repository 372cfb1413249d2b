// A list box with a check box before each item. A click on an item's check box, or Space on the
// selected item, turns its check over (a grayed one becomes checked) and fires OnClickCheck. A
// disabled item keeps its check; a header item has none and shows its text in the header colours.
// Checks, enabled states and headers follow their items as items are inserted and deleted.
#pragma once

#include <vector>

#include "StdCtrls.h"

enum TCheckBoxState
{
    cbUnchecked,
    cbChecked,
    cbGrayed
};

class TCheckListBox : public TListBox
{
public:
    explicit TCheckListBox(TComponent* owner);

    TCheckBoxState State(int index) const;
    void SetState(int index, TCheckBoxState state);
    bool Checked(int index) const { return State(index) == cbChecked; }
    void SetChecked(int index, bool checked) { SetState(index, checked ? cbChecked : cbUnchecked); }
    bool ItemEnabled(int index) const;
    void SetItemEnabled(int index, bool enabled);
    bool Header(int index) const;
    void SetHeader(int index, bool header);
    TColor HeaderColor() const { return headerColor_; }
    void SetHeaderColor(TColor color);
    TColor HeaderBackgroundColor() const { return headerBackgroundColor_; }
    void SetHeaderBackgroundColor(TColor color);
    // The width the check takes at the start of each item.
    int CheckWidth() const;

    TNotifyEvent OnClickCheck;

protected:
    void CreateParams(TCreateParams& params) override;
    void Dispatch(TMessage& message) override;
    void KeyChar(TMessage& message) override;
    void DrawItem(int index, const TRect& rect, TOwnerDrawState state) override;
    void ItemsMoved(int index, int delta) override;

private:
    struct TItemState
    {
        TCheckBoxState state = cbUnchecked;
        bool enabled = true;
        bool header = false;
    };
    TItemState& At(int index);
    const TItemState* Find(int index) const;
    void Toggle(int index);
    void Repaint(int index);
    std::vector<TItemState> states_;
    TColor headerColor_ = clInfoText;
    TColor headerBackgroundColor_ = clInfoBk;
};

// The size of the system's check box bitmap.
SIZE CheckBoxSize();
