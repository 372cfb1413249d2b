// A list view in report style over the system's list view: columns with a caption, a width and an
// image (-1: none), and rows of text. Both live in the object and are written into the window
// whenever it is made.
#pragma once

#include <vector>

#include "ComCtrls.h"

struct TListColumn
{
    AnsiString Caption;
    int Width = 50;
    int ImageIndex = -1;
};

class TCustomListView : public TNativeControl
{
public:
    explicit TCustomListView(TComponent* owner);

    int ColumnCount() const { return int(columns_.size()); }
    const TListColumn& Column(int index) const { return columns_.at(size_t(index)); }
    void AddColumn(const TListColumn& column);
    // A new row last; its text goes in the first column.
    void AddItem(const AnsiString& caption);
    int ItemCount() const { return int(items_.size()); }

protected:
    const wchar_t* NativeClassName() const override { return WC_LISTVIEWW; }
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;

private:
    void InsertColumn(int index);
    void InsertItem(int index);
    std::vector<TListColumn> columns_;
    std::vector<AnsiString> items_;
};

class TListView : public TCustomListView
{
public:
    using TCustomListView::TCustomListView;
};
