#include "printing/strpefm.h"

#include <memory>

#include "platform/ExtCtrls.h"
#include "platform/Services.h"

namespace
{
template <class T>
T* Put(TWinControl* parent, TComponent* owner, const char* name, const AnsiString& caption, int x, int y, int w,
       int h)
{
    return PlaceControl(parent, Create<T>(owner), name, caption, x, y, w, h);
}

TRadioGroup* Group(TForm* form, const char* name, const char* caption, std::initializer_list<const char*> items,
                   int x, int y, int w, int h)
{
    auto* g = Put<TRadioGroup>(form, form, name, caption, x, y, w, h);
    for (const char* item : items)
        g->Items()->Add(item);
    return g;
}
} // namespace

TFormStringsPrint::TFormStringsPrint(TComponent* owner) : TForm(owner), working_(Create<TStringsPrinter>(this))
{
    SetName("FormStringsPrint");
    SetCaption("TStringsPrinter");
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetBounds(0, 0, 560, 476);
    Font()->SetName("ＭＳ Ｐゴシック");

    // Frames around the printer, the font and the sizes; lines beside the ranges and above the buttons.
    const struct
    {
        TBevelShape shape;
        int x, y, w, h;
    } bevels[] = {{bsFrame, 4, 4, 546, 46},    {bsFrame, 4, 54, 546, 54},     {bsFrame, 302, 204, 248, 88},
                  {bsTopLine, 4, 400, 546, 2}, {bsLeftLine, 302, 112, 2, 88}, {bsFrame, 282, 296, 268, 98}};
    for (int i = 0; i < 6; ++i)
        Put<TBevel>(this, this, Format("Bevel%d", {i + 1}).c_str(), "", bevels[i].x, bevels[i].y, bevels[i].w,
                    bevels[i].h)
            ->SetShape(bevels[i].shape);

    Label5 = Put<TLabel>(this, this, "Label5", "carrent printer name", 12, 10, 300, 16);
    Label6 = Put<TLabel>(this, this, "Label6", "printer orientation", 12, 30, 150, 16);
    Label12 = Put<TLabel>(this, this, "Label12", "paper size", 170, 30, 150, 16);
    Button4 = Put<TButton>(this, this, "Button4", "Printer setting", 420, 14, 120, 25);

    Put<TLabel>(this, this, "Label10", "Font name:", 12, 62, 70, 16);
    ComboBox1 = Put<TComboBox>(this, this, "ComboBox1", "", 84, 58, 180, 200);
    ComboBox1->SetStyle(csDropDownList);
    Put<TLabel>(this, this, "Label11", "Font size:", 280, 62, 70, 16);
    ComboBox2 = Put<TComboBox>(this, this, "ComboBox2", "", 350, 58, 60, 200);
    ComboBox2->SetStyle(csDropDownList);
    CheckBox2 = Put<TCheckBox>(this, this, "CheckBox2", "WordBreak", 12, 84, 100, 20);
    CheckBox1 = Put<TCheckBox>(this, this, "CheckBox1", "LineNumber", 120, 84, 100, 20);

    RadioGroup5 = Group(this, "RadioGroup5", " RangeOption ", {"roWhole", "roLimited"}, 8, 112, 170, 70);
    Label18 = Put<TLabel>(this, this, "Label18", "StartPage:", 186, 118, 90, 16);
    Label19 = Put<TLabel>(this, this, "Label19", "LastPage:", 186, 138, 90, 16);
    Put<TLabel>(this, this, "Label20", "FirstPageNumber:", 186, 158, 110, 16);
    RadioGroup6 = Group(this, "RadioGroup6", " LineRangeOption ", {"roWhole", "roLimited"}, 8, 188, 170, 70);
    Label21 = Put<TLabel>(this, this, "Label21", "StartLine:", 186, 194, 90, 16);
    Label22 = Put<TLabel>(this, this, "Label22", "LastLine:", 186, 214, 90, 16);
    Put<TLabel>(this, this, "Label23", "FirstLineNumber:", 186, 234, 110, 16);
    for (TLabel* l : {Label18, Label19, Label21, Label22})
        l->SetEnabled(false);
    RadioGroup4 = Group(this, "RadioGroup4", " PageOption ", {"poBoth", "poOdd", "poEven"}, 310, 112, 110, 88);
    RadioGroup1 = Group(this, "RadioGroup1", " Columns ", {"1", "2", "3"}, 430, 112, 110, 88);
    // Each size in millimetres, with its unit after it.
    const struct
    {
        const char* name;
        const char* caption;
        int x, y;
    } sizes[] = {{"Label7", "Column space:", 310, 210},  {"Label1", "Left margin:", 310, 232},
                 {"Label2", "Right margin:", 430, 232},  {"Label3", "Top margin:", 310, 252},
                 {"Label4", "Bottom margin:", 430, 252}, {"Label24", "Line margin:", 310, 272}};
    for (const auto& s : sizes)
    {
        Put<TLabel>(this, this, s.name, s.caption, s.x, s.y, 84, 16)->SetAutoSize(false);
        Put<TLabel>(this, this, nullptr, "mm", s.x + 86, s.y, 24, 16);
    }

    RadioGroup2 = Group(this, "RadioGroup2", " Header ", {"None", "Left", "Center", "Right"}, 8, 296, 130, 100);
    RadioGroup3 = Group(this, "RadioGroup3", " Footer ", {"None", "Left", "Center", "Right"}, 146, 296, 130, 100);
    Put<TLabel>(this, this, "Label8", "Header string:", 290, 302, 100, 16);
    Edit1 = Put<TEdit>(this, this, "Edit1", "", 290, 320, 252, 22);
    Put<TLabel>(this, this, "Label9", "Footer string:", 290, 348, 100, 16);
    Edit2 = Put<TEdit>(this, this, "Edit2", "", 290, 366, 252, 22);

    Button5 = Put<TButton>(this, this, "Button5", "Print", 8, 410, 80, 25);
    Button5->SetModalResult(mrOk);
    Button6 = Put<TButton>(this, this, "Button6", "Preview", 96, 410, 80, 25);
    Button1 = Put<TButton>(this, this, "Button1", "OK", 284, 410, 80, 25);
    Button1->SetModalResult(mrOk);
    Button2 = Put<TButton>(this, this, "Button2", "Cancel", 372, 410, 80, 25);
    Button2->SetModalResult(mrCancel);
    Button2->SetCancel(true);
    Button3 = Put<TButton>(this, this, "Button3", "Help", 460, 410, 80, 25);

    Button3->OnClick = TNotifyEvent(this, &TFormStringsPrint::Button3Click);
    Button4->OnClick = TNotifyEvent(this, &TFormStringsPrint::Button4Click);
    Button5->OnClick = TNotifyEvent(this, &TFormStringsPrint::Button5Click);
    Button6->OnClick = TNotifyEvent(this, &TFormStringsPrint::Button6Click);
    const TNotifyEvent change(this, &TFormStringsPrint::ControlChange);
    ComboBox1->OnChange = change;
    ComboBox2->OnChange = change;
    CheckBox1->OnClick = change;
    CheckBox2->OnClick = change;
    for (TRadioGroup* g : {RadioGroup1, RadioGroup2, RadioGroup3, RadioGroup4, RadioGroup5, RadioGroup6})
        g->OnClick = change;
    Edit1->OnChange = change;
    Edit2->OnChange = change;
    OnShow = TNotifyEvent(this, &TFormStringsPrint::FormShow);
}

void TFormStringsPrint::Setup(TStringsPrinter* printer, TStrings* strings)
{
    working_->Assign(*printer);
    working_->SetTabSize(printer->TabSize());
    strings_ = strings;
}

bool TFormStringsPrint::Execute(TStringsPrinter* printer, TStrings* strings)
{
    if (!printer)
        return false;
    std::unique_ptr<TFormStringsPrint> form(Create<TFormStringsPrint>(Application));
    form->Setup(printer, strings);
    const bool ok = form->ShowModal() == mrOk;
    if (ok)
        printer->Assign(*form->working_);
    return ok;
}

void TFormStringsPrint::FormShow(TObject*)
{
    loading_ = true;
    ComboBox1->Items()->Clear();
    try
    {
        TStrings* fonts = Printer()->Fonts();
        for (int i = 0; i < fonts->GetCount(); ++i)
            if (fonts->Get(i)[1] != '@')
                ComboBox1->Items()->Add(fonts->Get(i));
    }
    catch (const EPrinter&)
    {
    }
    ComboBox1->SetItemIndex(ComboBox1->Items()->IndexOf(working_->Font()->Name()));
    ComboBox2->Items()->Clear();
    for (int size = 6; size <= 30; ++size)
        ComboBox2->Items()->Add(AnsiString(size));
    ComboBox2->SetItemIndex(ComboBox2->Items()->IndexOf(AnsiString(working_->Font()->Size())));
    PrinterInfoLabelUpdate();
    CheckBox1->SetChecked(working_->LineNumber());
    CheckBox2->SetChecked(working_->WordBreak());
    RadioGroup1->SetItemIndex(working_->ColumnCount() - 1);
    RadioGroup2->SetItemIndex(working_->HeaderAlign());
    Edit1->SetText(working_->Header());
    RadioGroup3->SetItemIndex(working_->FooterAlign());
    Edit2->SetText(working_->Footer());
    RadioGroup4->SetItemIndex(working_->PageOption());
    RadioGroup5->SetItemIndex(working_->RangeOption());
    RadioGroup6->SetItemIndex(working_->LineRangeOption());
    Label18->SetEnabled(working_->RangeOption() == roLimited);
    Label19->SetEnabled(working_->RangeOption() == roLimited);
    Label21->SetEnabled(working_->LineRangeOption() == roLimited);
    Label22->SetEnabled(working_->LineRangeOption() == roLimited);
    const bool text = strings_ != nullptr;
    for (TControl* c : std::initializer_list<TControl*>{Button4, Button5, Button6, Label5, Label6, Label12})
        c->SetEnabled(text);
    loading_ = false;
}

void TFormStringsPrint::PrinterInfoLabelUpdate()
{
    Label5->SetCaption(working_->PrinterInfo()->GetPrinterName());
    Label12->SetCaption(working_->PrinterInfo()->GetPaperName());
    TPrinterOrientation o = poPortrait;
    try
    {
        o = Printer()->Orientation();
    }
    catch (const EPrinter&)
    {
    }
    Label6->SetCaption(o == poLandscape ? "poLandscape" : "poPortrait");
}

void TFormStringsPrint::ControlChange(TObject* sender)
{
    if (loading_)
        return;
    TStringsPrinter* w = working_;
    if (sender == ComboBox1)
        w->Font()->SetName(ComboBox1->Text());
    else if (sender == ComboBox2)
        w->Font()->SetSize(ComboBox2->Text().ToIntDef(9));
    else if (sender == CheckBox1)
        w->SetLineNumber(CheckBox1->Checked());
    else if (sender == CheckBox2)
        w->SetWordBreak(CheckBox2->Checked());
    else if (sender == RadioGroup1)
        w->SetColumnCount(RadioGroup1->ItemIndex() + 1);
    else if (sender == RadioGroup2)
        w->SetHeaderAlign(TStringsPrinterHeaderAlign(std::max(0, RadioGroup2->ItemIndex())));
    else if (sender == RadioGroup3)
        w->SetFooterAlign(TStringsPrinterHeaderAlign(std::max(0, RadioGroup3->ItemIndex())));
    else if (sender == Edit1)
        w->SetHeader(Edit1->Text());
    else if (sender == Edit2)
        w->SetFooter(Edit2->Text());
    else if (sender == RadioGroup4)
        w->SetPageOption(TStringsPrinterPageOption(std::max(0, RadioGroup4->ItemIndex())));
    else if (sender == RadioGroup5)
    {
        w->SetRangeOption(RadioGroup5->ItemIndex() == 1 ? roLimited : roWhole);
        Label18->SetEnabled(w->RangeOption() == roLimited);
        Label19->SetEnabled(w->RangeOption() == roLimited);
    }
    else if (sender == RadioGroup6)
    {
        w->SetLineRangeOption(RadioGroup6->ItemIndex() == 1 ? roLimited : roWhole);
        Label21->SetEnabled(w->LineRangeOption() == roLimited);
        Label22->SetEnabled(w->LineRangeOption() == roLimited);
    }
}

void TFormStringsPrint::Button3Click(TObject*)
{
    Services().MessageBox(HandleAllocated() ? Handle() : nullptr,
                          "Header, Footer に利用出来るキーワードは以下の通りです。\r\n\r\n"
                          "%p  ページ番号\r\n%f  ファイル名パス付き\r\n%F  ファイル名パス無し\r\n"
                          "%y  年\r\n%m  月\r\n%d  日\r\n%t  時間",
                          Application->Title(), MB_OK);
}

void TFormStringsPrint::Button4Click(TObject*)
{
    Services().PrinterSetup(HandleAllocated() ? Handle() : nullptr);
    PrinterInfoLabelUpdate();
}

void TFormStringsPrint::Button5Click(TObject*)
{
    if (strings_ && !working_->PrintStrings(strings_))
        SetModalResult(mrNone);
}

void TFormStringsPrint::Button6Click(TObject*)
{
    if (strings_)
        working_->PreviewStrings(strings_);
}
