#include "printing/PrintFrm.h"

#include <algorithm>
#include <memory>

#include "common/English.h"
#include "common/Nsenumwindows.h"
#include "common/WexmoorDef.h"
#include "platform/Picture.h"
#include "platform/Services.h"

TPrintForm* PrintForm = nullptr;

namespace
{
const int kPairTags[] = {1, 2, 3, 4, 9, 11};

template <class T>
T* Put(TWinControl* parent, TComponent* owner, const char* name, const AnsiString& caption, int x, int y, int w,
       int h)
{
    return PlaceControl(parent, Create<T>(owner), name, caption, x, y, w, h);
}

TGroupBox* Group(TForm* form, const AnsiString& caption, int x, int y, int w, int h)
{
    return Put<TGroupBox>(form, form, nullptr, caption, x, y, w, h);
}

void Label(TWinControl* parent, TComponent* owner, const AnsiString& caption, int x, int y)
{
    Put<TLabel>(parent, owner, nullptr, caption, x, y + 3, 64, 16);
}

// The picture of a bitmap resource, its transparent colour (its bottom-left pixel's) turned into
// the face colour it is shown on.
void LoadOnFace(TImage* image, const char* resource, TColor face)
{
    TBitmap b;
    b.LoadFromResourceName(HInstance, resource);
    b.SetPixelFormat(pf24bit);
    const uint8_t* corner = b.ScanLine(b.Height() - 1);
    const uint8_t clear[3] = {corner[0], corner[1], corner[2]};
    const COLORREF rgb = COLORREF(ColorToRGB(face));
    const uint8_t faceBgr[3] = {GetBValue(rgb), GetGValue(rgb), GetRValue(rgb)};
    for (int y = 0; y < b.Height(); ++y)
    {
        uint8_t* row = b.ScanLine(y);
        for (int x = 0; x < b.Width(); ++x)
            if (std::equal(clear, clear + 3, row + x * 3))
                std::copy(faceBgr, faceBgr + 3, row + x * 3);
    }
    image->Picture()->Assign(&b);
}
} // namespace

TPrintForm::TPrintForm(TComponent* owner) : TForm(owner), RegistryKey(VN::kRegistryKey)
{
    SetName("PrintForm");
    SetCaption("印刷設定");
    SetBorderStyle(bsDialog);
    SetKeyPreview(true);
    SetPosition(poOwnerFormCenter);
    SetBounds(0, 0, 560, 420);

    TGroupBox* fontBox = Group(this, "フォントの設定", 8, 8, 270, 80);
    Label(fontBox, this, "フォント名", 10, 20);
    FontNameCBox = Put<TComboBox>(fontBox, this, "FontNameCBox", "", 80, 20, 180, 200);
    FontNameCBox->SetStyle(csDropDownList);
    Label(fontBox, this, "サイズ", 10, 48);
    FontSizeCBox = Put<TComboBox>(fontBox, this, "FontSizeCBox", "", 80, 48, 60, 200);
    FontSizeCBox->SetStyle(csDropDownList);
    for (int size = VN::kFontSizeMin; size <= VN::kFontSizeMax; ++size)
        FontSizeCBox->Items()->Add(AnsiString(size));

    TGroupBox* marginBox = Group(this, "余白の設定(mm)", 8, 96, 270, 110);
    const struct
    {
        int tag;
        const char* label;
        int x, y;
    } margins[] = {{1, "左", 10, 20}, {2, "右", 140, 20}, {3, "上", 10, 48}, {4, "下", 140, 48}, {9, "行間", 10, 76}};
    auto pair = [this](TWinControl* parent, int tag, int x, int y) {
        TEdit* e = Put<TEdit>(parent, this, Format("mEdit_%02d", {tag}).c_str(), "", x, y, 40, 22);
        e->SetText("0");
        e->SetMaxLength(2); // no more than the up-down's 99
        e->SetTag(tag);
        e->OnChange = TNotifyEvent(this, &TPrintForm::mEdit_Change);
        e->OnKeyPress = TKeyPressEvent(this, &TPrintForm::mEdit_KeyPress);
        TUpDown* u = Put<TUpDown>(parent, this, Format("UD_%02d", {tag}).c_str(), "", x + 40, y, 16, 22);
        u->SetMin(0);
        u->SetMax(99);
        u->SetTag(tag);
        u->OnChangingEx = TUDChangingEventEx(this, &TPrintForm::UD_ChangingEx);
    };
    for (const auto& m : margins)
    {
        Label(marginBox, this, m.label, m.x, m.y);
        pair(marginBox, m.tag, m.x + 50, m.y);
    }
    PairEdit(1)->SetImeMode(imDisable);

    TGroupBox* rangeBox = Group(this, "印刷範囲", 286, 8, 260, 80);
    AllPageRBtn = Put<TRadioButton>(rangeBox, this, "AllPageRBtn", "全て", 10, 20, 60, 20);
    PageDesignRBtn = Put<TRadioButton>(rangeBox, this, "PageDesignRBtn", "ページ指定", 10, 46, 90, 20);
    Label(rangeBox, this, "開始ページ", 104, 20);
    StartPageEdit = Put<TEdit>(rangeBox, this, "StartPageEdit", "", 180, 20, 60, 22);
    Label(rangeBox, this, "終了ページ", 104, 48);
    EndPageEdit = Put<TEdit>(rangeBox, this, "EndPageEdit", "", 180, 48, 60, 22);
    AllPageRBtn->OnClick = TNotifyEvent(this, &TPrintForm::AllPageRBtnClick);
    PageDesignRBtn->OnClick = TNotifyEvent(this, &TPrintForm::AllPageRBtnClick);

    TGroupBox* pageBox = Group(this, "印刷指定", 286, 96, 260, 80);
    BothPageRBtn = Put<TRadioButton>(pageBox, this, "BothPageRBtn", "全てのページ", 10, 20, 120, 20);
    OddPageBtn = Put<TRadioButton>(pageBox, this, "OddPageBtn", "奇数ページのみ", 10, 46, 120, 20);
    EvenPageRBtn = Put<TRadioButton>(pageBox, this, "EvenPageRBtn", "偶数ページのみ", 130, 46, 120, 20);

    LineNumPrintCBox = Put<TCheckBox>(this, this, "LineNumPrintCBox", "行番号の印刷", 296, 184, 140, 20);

    TGroupBox* columnBox = Group(this, "段組み", 8, 214, 270, 56);
    Label(columnBox, this, "段数", 10, 22);
    ColCBox = Put<TComboBox>(columnBox, this, "ColCBox", "", 60, 22, 50, 200);
    ColCBox->SetStyle(csDropDownList);
    for (const char* n : {"1", "2", "3"})
        ColCBox->Items()->Add(n);
    Label(columnBox, this, "段の間隔", 124, 22);
    pair(columnBox, 11, 190, 22);

    TGroupBox* hfBox = Group(this, "ヘッダ－／フッタ－", 8, 278, 538, 80);
    Label(hfBox, this, "ヘッダー", 10, 20);
    HeaderEdit = Put<TEdit>(hfBox, this, "HeaderEdit", "", 80, 20, 300, 22);
    Label(hfBox, this, "位置", 392, 20);
    HPosCBox = Put<TComboBox>(hfBox, this, "HPosCBox", "", 432, 20, 90, 200);
    Label(hfBox, this, "フッダー", 10, 48);
    FooterEdit = Put<TEdit>(hfBox, this, "FooterEdit", "", 80, 48, 300, 22);
    Label(hfBox, this, "位置", 392, 48);
    FPosCBox = Put<TComboBox>(hfBox, this, "FPosCBox", "", 432, 48, 90, 200);
    for (TComboBox* c : {HPosCBox, FPosCBox})
    {
        c->SetStyle(csDropDownList);
        for (const char* n : {"(なし)", "左", "中央", "右"})
            c->Items()->Add(n);
    }

    PrinterSetupBtn = Put<TButton>(this, this, "PrinterSetupBtn", "プリンターの設定", 8, 366, 130, 28);
    PreViewBtn = Put<TBitBtn>(this, this, "PreViewBtn", "プレビュー", 236, 366, 96, 28);
    PrintBtn = Put<TBitBtn>(this, this, "PrintBtn", "印刷", 340, 366, 96, 28);
    CancelBtn = Put<TButton>(this, this, "CancelBtn", "キャンセル", 444, 366, 96, 28);
    CancelBtn->SetModalResult(mrCancel);
    CancelBtn->SetCancel(true);
    PrinterSetupBtn->OnClick = TNotifyEvent(this, &TPrintForm::PrinterSetupBtnClick);
    PreViewBtn->OnClick = TNotifyEvent(this, &TPrintForm::PreViewBtnClick);
    PrintBtn->OnClick = TNotifyEvent(this, &TPrintForm::PrintBtnClick);

    PreViewBtn->Glyph()->LoadFromResourceName(HInstance, "PreviewGlyph");
    PrintBtn->Glyph()->LoadFromResourceName(HInstance, "PrintGlyph");

    PrintStatusPanel = Put<TPanel>(this, this, "PrintStatusPanel", "", 140, 150, 280, 60);
    PrintStatusImage = Put<TImage>(PrintStatusPanel, this, "PrintStatusImage", "", 14, 14, 32, 32);
    LoadOnFace(PrintStatusImage, "Printing", PrintStatusPanel->Color());
    Put<TLabel>(PrintStatusPanel, this, "PrintStatusLabel", "印刷処理中です....", 60, 22, 200, 16);
    PrintStatusPanel->SetVisible(false);

    OnShow = TNotifyEvent(this, &TPrintForm::FormShow);
    OnClose = TCloseEvent(this, &TPrintForm::FormClose);
    OnKeyPress = TKeyPressEvent(this, &TPrintForm::FormKeyPress);
}

void TPrintForm::AfterConstruction()
{
    TForm::AfterConstruction();
    TranslateForm(this, nullptr);
    Pri = Create<TStringsPrinter>(this);
}

TEdit* TPrintForm::PairEdit(int tag) const
{
    return dynamic_cast<TEdit*>(FindComponent(Format("mEdit_%02d", {tag})));
}

TUpDown* TPrintForm::PairUpDown(int tag) const
{
    return dynamic_cast<TUpDown*>(FindComponent(Format("UD_%02d", {tag})));
}

void TPrintForm::ReadSettings()
{
    VN::typPrinterSetting s;
    ReadPrinterSettings(s, RegistryKey);
    Pri->Font()->SetName(NsStringToAnsi(s.fontName));
    Pri->Font()->SetSize(s.fontSize);
    Pri->SetMarginLeft(s.marginLeft);
    Pri->SetMarginRight(s.marginRight);
    Pri->SetMarginTop(s.marginTop);
    Pri->SetMarginBottom(s.marginBottom);
    Pri->SetMarginLine(s.marginLine);
    Pri->SetRangeOption(s.rangeOption == 1 ? roLimited : roWhole);
    Pri->SetStartPage(s.startPage);
    Pri->SetLastPage(s.lastPage);
    Pri->SetPageOption(TStringsPrinterPageOption(s.pageOption));
    Pri->SetLineNumber(s.lineNumber);
    Pri->SetColumnCount(s.columnCount);
    Pri->SetColumnSpace(s.columnSpace);
    Pri->SetHeader(NsStringToAnsi(s.header));
    Pri->SetFooter(NsStringToAnsi(s.footer));
    Pri->SetHeaderAlign(TStringsPrinterHeaderAlign(s.headerAlign));
    Pri->SetFooterAlign(TStringsPrinterHeaderAlign(s.footerAlign));
}

void TPrintForm::WriteSettings()
{
    VN::typPrinterSetting s;
    s.fontName = AnsiToNsString(Pri->Font()->Name());
    s.fontSize = Pri->Font()->Size();
    s.marginLeft = Pri->MarginLeft();
    s.marginRight = Pri->MarginRight();
    s.marginTop = Pri->MarginTop();
    s.marginBottom = Pri->MarginBottom();
    s.marginLine = Pri->MarginLine();
    s.rangeOption = Pri->RangeOption();
    s.startPage = Pri->StartPage();
    s.lastPage = Pri->LastPage();
    s.pageOption = Pri->PageOption();
    s.lineNumber = Pri->LineNumber();
    s.columnCount = Pri->ColumnCount();
    s.columnSpace = Pri->ColumnSpace();
    s.header = AnsiToNsString(Pri->Header());
    s.footer = AnsiToNsString(Pri->Footer());
    s.headerAlign = Pri->HeaderAlign();
    s.footerAlign = Pri->FooterAlign();
    WritePrinterSettings(s, RegistryKey);
}

void TPrintForm::FormShow(TObject*)
{
    ReadSettings();
    // Filled afresh on every showing; the saved font stays even when the printer does not list it.
    FontNameCBox->Items()->Clear();
    try
    {
        TStrings* fonts = Printer()->Fonts();
        for (int i = 0; i < fonts->GetCount(); ++i)
            FontNameCBox->Items()->Add(fonts->Get(i));
    }
    catch (const EPrinter&)
    {
    }
    const AnsiString font = Pri->Font()->Name();
    if (FontNameCBox->Items()->IndexOf(font) < 0 && !font.IsEmpty())
        FontNameCBox->Items()->Insert(0, font);
    const int udTags[] = {1, 2, 3, 4, 9};
    const int values[] = {Pri->MarginLeft(), Pri->MarginRight(), Pri->MarginTop(), Pri->MarginBottom(),
                          Pri->MarginLine()};
    for (int i = 0; i < 5; ++i)
    {
        PairUpDown(udTags[i])->SetPosition(values[i]);
        // The edits show the margins in use, not what an earlier showing left in them.
        TEdit* e = PairEdit(udTags[i]);
        const TNotifyEvent saved = e->OnChange;
        e->OnChange = TNotifyEvent();
        e->SetText(AnsiString(PairUpDown(udTags[i])->Position()));
        e->OnChange = saved;
    }
    FontNameCBox->SetItemIndex(FontNameCBox->Items()->IndexOf(font));
    FontSizeCBox->SetItemIndex(FontSizeCBox->Items()->IndexOf(AnsiString(Pri->Font()->Size())));
    if (Pri->RangeOption() == roLimited)
    {
        PageDesignRBtn->SetChecked(true);
        StartPageEdit->SetText(AnsiString(Pri->StartPage()));
        EndPageEdit->SetText(AnsiString(Pri->LastPage()));
    }
    else
        AllPageRBtn->SetChecked(true);
    AllPageRBtnClick(this);
    if (Pri->PageOption() == poBoth)
        BothPageRBtn->SetChecked(true);
    else if (Pri->PageOption() == poOdd)
        OddPageBtn->SetChecked(true);
    else
        EvenPageRBtn->SetChecked(true);
    LineNumPrintCBox->SetChecked(Pri->LineNumber());
    ColCBox->SetItemIndex(Pri->ColumnCount() - 1);
    PairEdit(11)->SetText(AnsiString(Pri->ColumnSpace()));
    HeaderEdit->SetText(Pri->Header());
    HPosCBox->SetItemIndex(Pri->HeaderAlign());
    FooterEdit->SetText(Pri->Footer());
    FPosCBox->SetItemIndex(Pri->FooterAlign());
    typPrintDocument doc;
    const bool have = ActiveDocument && ActiveDocument(doc);
    Pri->SetFileName(have && !doc.filePath.IsEmpty() ? doc.filePath : AnsiString("無題"));
    if (have)
        tabSize_ = doc.tabSize;
    if (FontNameCBox->HandleAllocated() && FontNameCBox->Visible())
        FontNameCBox->SetFocus();
}

void TPrintForm::UpdatePrinterProperties()
{
    Pri->SetMarginLeft(PairUpDown(1)->Position());
    Pri->SetMarginRight(PairUpDown(2)->Position());
    Pri->SetMarginTop(PairUpDown(3)->Position());
    Pri->SetMarginBottom(PairUpDown(4)->Position());
    Pri->SetMarginLine(PairUpDown(9)->Position());
    Pri->Font()->SetName(FontNameCBox->Text());
    Pri->Font()->SetSize(FontSizeCBox->Text().ToIntDef(9));
    Pri->SetRangeOption(AllPageRBtn->Checked() ? roWhole : roLimited);
    Pri->SetStartPage(StartPageEdit->Text().ToIntDef(1));
    Pri->SetLastPage(EndPageEdit->Text().ToIntDef(9999));
    Pri->SetFirstPageNumber(Pri->RangeOption() == roLimited ? Pri->StartPage() : 1);
    Pri->SetPageOption(BothPageRBtn->Checked() ? poBoth : OddPageBtn->Checked() ? poOdd : poEven);
    Pri->SetLineNumber(LineNumPrintCBox->Checked());
    Pri->SetColumnCount(ColCBox->ItemIndex() + 1);
    Pri->SetColumnSpace(PairEdit(11)->Text().ToIntDef(4));
    Pri->SetHeader(HeaderEdit->Text());
    Pri->SetHeaderAlign(TStringsPrinterHeaderAlign(std::max(0, HPosCBox->ItemIndex())));
    Pri->SetFooter(FooterEdit->Text());
    Pri->SetFooterAlign(TStringsPrinterHeaderAlign(std::max(0, FPosCBox->ItemIndex())));
    typPrintDocument doc;
    if (ActiveDocument && ActiveDocument(doc))
        tabSize_ = doc.tabSize;
    Pri->SetTabSize(tabSize_);
}

void TPrintForm::FormClose(TObject*, TCloseAction&)
{
    UpdatePrinterProperties();
    WriteSettings();
}

void TPrintForm::FormKeyPress(TObject*, char& key)
{
    // While a layout runs its progress window's Cancel ends it, not Esc here.
    if (key == 27 && !Pri->Busy())
        Close();
}

void TPrintForm::PrinterSetupBtnClick(TObject*)
{
    Services().PrinterSetup(HandleAllocated() ? Handle() : nullptr);
}

void TPrintForm::AllPageRBtnClick(TObject*)
{
    const bool on = PageDesignRBtn->Checked();
    for (TEdit* e : {StartPageEdit, EndPageEdit})
    {
        e->SetEnabled(on);
        e->SetColor(on ? clWindow : clBtnFace);
    }
}

void TPrintForm::UD_ChangingEx(TObject* sender, bool& allowChange, int newValue, TUpDownDirection)
{
    auto* ud = static_cast<TUpDown*>(sender);
    allowChange = newValue >= ud->Min() && newValue <= ud->Max();
    if (!allowChange)
        return;
    TEdit* e = PairEdit(ud->Tag());
    const TNotifyEvent saved = e->OnChange;
    e->OnChange = TNotifyEvent();
    e->SetText(AnsiString(newValue));
    e->OnChange = saved;
}

void TPrintForm::mEdit_Change(TObject* sender)
{
    auto* e = static_cast<TEdit*>(sender);
    TUpDown* ud = PairUpDown(e->Tag());
    const TUDChangingEventEx saved = ud->OnChangingEx;
    ud->OnChangingEx = TUDChangingEventEx();
    ud->SetPosition(e->Text().ToIntDef(0));
    ud->OnChangingEx = saved;
}

void TPrintForm::mEdit_KeyPress(TObject*, char& key)
{
    if (static_cast<unsigned char>(key) >= 32 && (key < '0' || key > '9'))
        key = 0;
}

void TPrintForm::PreViewBtnClick(TObject*)
{
    if (Pri->Busy())
        return;
    UpdatePrinterProperties();
    typPrintDocument doc;
    if (!ActiveDocument || !ActiveDocument(doc))
        return;
    TStringList lines;
    lines.SetText(doc.text);
    doc.text = AnsiString(); // the lines are the copy the layout reads
    if (!Pri->PreviewStrings(&lines) && !Pri->Reported())
        ErrorBox("%s", msgNoPreviewPage);
}

void TPrintForm::PrintBtnClick(TObject*)
{
    if (Pri->Busy())
        return;
    PrintStatusPanel->SetVisible(true);
    // Made after the controls it covers, it would lie beneath them.
    SetWindowPos(PrintStatusPanel->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Application->ProcessMessages();
    UpdatePrinterProperties();
    typPrintDocument doc;
    if (!ActiveDocument || !ActiveDocument(doc))
    {
        PrintStatusPanel->SetVisible(false);
        return;
    }
    TStringList lines;
    lines.SetText(doc.text);
    doc.text = AnsiString();
    const bool printed = Pri->PrintStrings(&lines);
    PrintStatusPanel->SetVisible(false);
    if (printed)
    {
        SetModalResult(mrOk);
        Close();
    }
    else if (!Pri->Reported())
        ErrorBox("%s", msgNoPrintPage);
}
