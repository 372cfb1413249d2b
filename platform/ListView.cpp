#include "ListView.h"

#include "Cp932.h"

TCustomListView::TCustomListView(TComponent* owner) : TNativeControl(owner)
{
    width_ = 250;
    height_ = 150;
    SetTabStop(true);
}

void TCustomListView::CreateParams(TCreateParams& params)
{
    TNativeControl::CreateParams(params);
    params.Style |= LVS_REPORT | LVS_SHOWSELALWAYS;
    params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomListView::HandleCreated()
{
    for (int i = 0; i < ColumnCount(); ++i)
        InsertColumn(i);
    for (int i = 0; i < ItemCount(); ++i)
        InsertItem(i);
}

void TCustomListView::AddColumn(const TListColumn& column)
{
    columns_.push_back(column);
    if (HandleAllocated())
        InsertColumn(ColumnCount() - 1);
}

void TCustomListView::AddItem(const AnsiString& caption)
{
    items_.push_back(caption);
    if (HandleAllocated())
        InsertItem(ItemCount() - 1);
}

// Always with its image: a column without one says so by -1.
void TCustomListView::InsertColumn(int index)
{
    const TListColumn& column = columns_[size_t(index)];
    std::wstring caption = SjisToWide(column.Caption);
    LVCOLUMNW lvc{};
    lvc.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_IMAGE;
    lvc.fmt = LVCFMT_LEFT;
    lvc.cx = column.Width;
    lvc.pszText = caption.data();
    lvc.iImage = column.ImageIndex;
    SendMessageW(handle_, LVM_INSERTCOLUMNW, WPARAM(index), reinterpret_cast<LPARAM>(&lvc));
}

void TCustomListView::InsertItem(int index)
{
    std::wstring caption = SjisToWide(items_[size_t(index)]);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = caption.data();
    SendMessageW(handle_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}
