// The editor settings dialog.
#include "dialogs/EditSetting.h"

#include <algorithm>

#include "common/English.h"
#include "common/Nsenumwindows.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"

TEditSettingForm* EditSettingForm = nullptr;

namespace
{
const char* const kColourRows[] = {"通常の文字", "行番号", "ルーラ", "選択範囲", "強調文字列",
                                   "検索文字列１", "検索文字列２", "検索文字列３"};

// The edit's number, or def when it holds none.
int EditNumber(TEdit* edit, int def) { return StrToIntDef(edit->Text().Trim(), def); }
} // namespace

TEditSettingForm::TEditSettingForm(TComponent* owner) : TForm(owner), SettingsKey(VN::kRegistryKey)
{
    SetName("EditSettingForm");
    SetCaption("エディタの設定");
    SetBorderStyle(bsDialog);
    SetPosition(poMainFormCenter);
    SetKeyPreview(true);
    SetBounds(150, 100, 470, 470);

    PageCtrl = PlaceControl(this, Create<TPageControl>(this), "PageCtrl", "", 8, 8, 448, 385);
    auto sheet = [this](const char* name, const char* caption) {
        auto* s = Create<TTabSheet>(this);
        s->SetName(name);
        s->SetCaption(caption);
        s->SetPageControl(PageCtrl);
        return s;
    };
    TTabSheet* options = sheet("OptionSheet", "オプション(&O)");
    TTabSheet* fonts = sheet("FontSheet", "フォント(&F)");
    TTabSheet* colours = sheet("ColorSheet", "色(&C)");

    // ---- options ----
    TGroupBox* group = PlaceControl(options, Create<TGroupBox>(this), "OptionGrp", "エディタオプション", 6, 4, 428, 345);
    auto label = [this](TWinControl* parent, const char* caption, int x, int y) {
        return PlaceControl(parent, Create<TLabel>(this), nullptr, caption, x, y, 0, 0);
    };
    auto check = [this](TWinControl* parent, const char* name, const char* caption, int x, int y) {
        return PlaceControl(parent, Create<TCheckBox>(this), name, caption, x, y, 200, 20);
    };
    auto numEdit = [this](TWinControl* parent, const char* name, int x, int y, int digits) {
        TEdit* e = PlaceControl(parent, Create<TEdit>(this), name, "", x, y, 40, 22);
        e->SetMaxLength(digits);
        e->OnKeyPress = TKeyPressEvent(this, &TEditSettingForm::NumEditKeyPress);
        return e;
    };
    auto upDown = [this](TWinControl* parent, const char* name, TEdit* edit, int min, int max) {
        TUpDown* u = PlaceControl(parent, Create<TUpDown>(this), name, "", edit->Left() + edit->Width() + 2,
                                  edit->Top(), 16, 22);
        u->SetMin(min);
        u->SetMax(max);
        u->SetThousands(false);
        u->OnChangingEx = TUDChangingEventEx(this, &TEditSettingForm::UpDownChanging);
        edit->OnChange = TNotifyEvent(this, &TEditSettingForm::NumEditChange);
        return u;
    };
    label(group, "行間隔", 10, 22);
    mEdit_01 = numEdit(group, "mEdit_01", 80, 18, 2);
    UD_01 = upDown(group, "UD_01", mEdit_01, VN::kRowPitchMin, VN::kRowPitchMax);
    label(group, "タブ幅", 150, 22);
    mEdit_02 = numEdit(group, "mEdit_02", 210, 18, 2);
    UD_02 = upDown(group, "UD_02", mEdit_02, VN::kTabSizeMin, VN::kTabSizeMax);
    RowNumCBox = check(group, "RowNumCBox", "行番号の表示", 10, 48);
    RuraCBox = check(group, "RuraCBox", "ルーラの表示", 215, 48);
    AutoIndentCBox = check(group, "AutoIndentCBox", "オートインデント", 10, 70);
    UndoBSaveCBox = check(group, "UndoBSaveCBox", "保存以前の元に戻す", 215, 70);
    DispTabCBox = check(group, "DispTabCBox", "タブの表示", 10, 92);
    DispSpace2CBox = check(group, "DispSpace2CBox", "全角スペースの表示", 215, 92);
    UseTabCBox = check(group, "UseTabCBox", "タブ文字の使用", 10, 114);
    WrapCBox = check(group, "WrapCBox", "折り返し表示を行う", 10, 136);
    label(group, "折り返し文字数", 215, 140);
    WrapPosEdit = numEdit(group, "WrapPosEdit", 320, 136, 3);
    KinsokuCBox = check(group, "KinsokuCBox", "日本語禁則処理を行う", 10, 158);
    label(group, "行頭禁則文字", 10, 184);
    KinHeadEdit = PlaceControl(group, Create<TEdit>(this), "KinHeadEdit", "", 100, 180, 318, 22);
    label(group, "行末禁則文字", 10, 210);
    KinLastEdit = PlaceControl(group, Create<TEdit>(this), "KinLastEdit", "", 100, 206, 318, 22);
    KindefBtn = PlaceControl(group, Create<TButton>(this), "KindefBtn", "禁則文字をデフォルトに戻す", 218, 232, 200, 24);
    KindefBtn->OnClick = TNotifyEvent(this, &TEditSettingForm::KindefBtnClick);
    TGroupBox* alpha =
        PlaceControl(group, Create<TGroupBox>(this), "AlphaGrp", "透明度の設定(0～255)", 10, 258, 215, 78);
    TransparentTrackBar = PlaceControl(alpha, Create<TTrackBar>(this), "TransparentTrackBar", "", 8, 18, 199, 30);
    TransparentTrackBar->SetMin(0);
    TransparentTrackBar->SetMax(255 - kWindowAlphaFloor);
    TransparentTrackBar->SetPageSize(16);
    TransparentTrackBar->SetFrequency(128);
    label(alpha, "0", 12, 52);
    label(alpha, "128", 96, 52);
    label(alpha, "255", 180, 52);
    BackupFileCBox = check(group, "BackupFileCBox", "バックアップファイルの作成", 232, 270);
    BackupFileCBox->SetWidth(190);
    RemainCBox = check(group, "RemainCBox", "前回終了時の状態を再現する", 232, 300);
    RemainCBox->SetWidth(190);

    // ---- font ----
    label(fonts, "エディタフォント", 12, 16);
    FontsCBox = PlaceControl(fonts, Create<TComboBox>(this), "FontsCBox", "", 12, 34, 260, 22);
    FontsCBox->SetStyle(csDropDownList);
    FontsCBox->SetDropDownCount(16);
    FontsCBox->OnChange = TNotifyEvent(this, &TEditSettingForm::FontsCBoxChange);
    label(fonts, "サイズ", 290, 16);
    FontSizeCBox = PlaceControl(fonts, Create<TComboBox>(this), "FontSizeCBox", "", 290, 34, 70, 22);
    FontSizeCBox->SetStyle(csDropDownList);
    for (int size = VN::kFontSizeMin; size <= VN::kFontSizeMax; ++size)
        FontSizeCBox->Items()->Add(IntToStr(size));
    FontSizeCBox->OnChange = TNotifyEvent(this, &TEditSettingForm::FontsCBoxChange);
    label(fonts, "サンプル", 12, 74);
    FontSamplePanel = PlaceControl(fonts, Create<TPanel>(this), "FontSamplePanel", "ab AB あぁ アァ 亜意 123", 12,
                                   92, 410, 80);
    FontSamplePanel->SetColor(TColor(0xFFFFFF));

    // ---- colours ----
    auto colourPair = [this](TWinControl* parent, TPanel*& panel, TButton*& button, int tag, int x, int y) {
        panel = PlaceControl(parent, Create<TPanel>(this), AnsiString(Format("CPanel_%02d", {tag})).c_str(), "", x, y,
                             50, 22);
        panel->SetBevelOuter(bvLowered);
        button = PlaceControl(parent, Create<TButton>(this), AnsiString(Format("Btn_%02d", {tag})).c_str(), "変更",
                              x + 56, y, 50, 22);
        button->SetTag(tag);
        button->OnClick = TNotifyEvent(this, &TEditSettingForm::ColorChangeBtnClick);
    };
    TGroupBox* basic = PlaceControl(colours, Create<TGroupBox>(this), "BasicGrp", "基本背景色", 6, 4, 428, 56);
    label(basic, "背景色", 10, 26);
    colourPair(basic, CPanel_99, Btn_99, 99, 60, 22);
    label(basic, "壁紙上文字背景色", 190, 26);
    colourPair(basic, CPanel_97, Btn_97, 97, 300, 22);
    TGroupBox* items = PlaceControl(colours, Create<TGroupBox>(this), "ItemGrp", "項目別設定", 6, 66, 428, 280);
    EditStrTypeList = PlaceControl(items, Create<TListBox>(this), "EditStrTypeList", "", 10, 20, 170, 250);
    for (const char* row : kColourRows)
        EditStrTypeList->Items()->Add(row);
    EditStrTypeList->OnClick = TNotifyEvent(this, &TEditSettingForm::EditStrTypeListClick);
    label(items, "前景色", 195, 26);
    colourPair(items, CPanel_98, Btn_98, 98, 250, 22);
    BkLabel = label(items, "背景色", 195, 58);
    colourPair(items, CPanel_96, Btn_96, 96, 250, 54);
    StrStyleGrp = PlaceControl(items, Create<TGroupBox>(this), "StrStyleGrp", "文字スタイル", 195, 90, 220, 100);
    BoldCBox = check(StrStyleGrp, "BoldCBox", "太字", 10, 20);
    ItalicCBox = check(StrStyleGrp, "ItalicCBox", "斜体", 10, 44);
    UnderCBox = check(StrStyleGrp, "UnderCBox", "下線", 10, 68);
    for (TCheckBox* c : {BoldCBox, ItalicCBox, UnderCBox})
        c->OnClick = TNotifyEvent(this, &TEditSettingForm::StyleCBoxClick);

    OkBtn = PlaceControl(this, Create<TButton>(this), "OkBtn", "OK", 280, 402, 80, 25);
    OkBtn->SetDefault(true);
    OkBtn->OnClick = TNotifyEvent(this, &TEditSettingForm::OkBtnClick);
    CancelBtn = PlaceControl(this, Create<TButton>(this), "CancelBtn", "ｷｬﾝｾﾙ", 370, 402, 80, 25);
    CancelBtn->SetCancel(true);
    CancelBtn->SetModalResult(mrCancel);

    OnShow = TNotifyEvent(this, &TEditSettingForm::FormShow);
}

void TEditSettingForm::FormShow(TObject*)
{
    // The copy first: the colour tab shows the working records, which must be today's.
    work_ = VN::EditSetting;
    FillControls(work_);
}

void TEditSettingForm::FillControls(const VN::typEditSetting& s)
{
    PageCtrl->SetActivePageIndex(0);

    TStrings* fonts = FontsCBox->Items();
    fonts->BeginUpdate();
    fonts->Clear();
    typFontList list;
    EnumJapaneseFonts(list, true);
    for (int i = 0; i < list.count; ++i)
        fonts->Add(list.names[i]);
    FreeFontList(list);
    const AnsiString name = NsStringToAnsi(s.FONT_NAME);
    // A font that is not installed here stays the setting until the user picks another.
    if (!name.IsEmpty() && fonts->IndexOf(name) < 0)
        fonts->Insert(0, name);
    fonts->EndUpdate();
    FontsCBox->SetItemIndex(fonts->IndexOf(name));
    FontSizeCBox->SetItemIndex(FontSizeCBox->Items()->IndexOf(IntToStr(s.FONT_SIZE)));
    FontsCBoxChange(this);

    CPanel_99->SetColor(s.色_文字);
    CPanel_97->SetColor(s.STR_BKCOLOR);

    RowNumCBox->SetChecked(s.DISPROWNUM);
    RuraCBox->SetChecked(s.DISPRULA);
    AutoIndentCBox->SetChecked(s.AUTO_INDENT);
    UndoBSaveCBox->SetChecked(s.UNDOBSAVE);
    DispTabCBox->SetChecked(s.DISPTAB);
    DispSpace2CBox->SetChecked(s.DISSPACE2);
    UseTabCBox->SetChecked(s.USETAB);
    WrapCBox->SetChecked(s.ISWRAP);
    KinsokuCBox->SetChecked(s.KINSOKU);
    BackupFileCBox->SetChecked(s.BACKUPFILE);
    RemainCBox->SetChecked(s.IS_REMAIN);
    mEdit_01->SetText(IntToStr(s.ROWPITCH));
    mEdit_02->SetText(IntToStr(s.TABSIZE));
    WrapPosEdit->SetText(IntToStr(s.WRAPWIDTH));
    KinHeadEdit->SetText(NsStringToAnsi(s.BANHEAD));
    KinLastEdit->SetText(NsStringToAnsi(s.BANEND));
    TransparentTrackBar->SetPosition(255 - std::clamp(s.WINDOW_ALPHABLENDVALUE, kWindowAlphaFloor, 255));

    EditStrTypeList->SetItemIndex(0);
    EditStrTypeListClick(this);
    if (RemainCBox->HandleAllocated() && RemainCBox->CanFocus())
        RemainCBox->SetFocus();
}

typColorRec* TEditSettingForm::SelectedColorRec()
{
    switch (EditStrTypeList->ItemIndex())
    {
    case 0: return &work_.色_背景;
    case 1: return &work_.色_行番号;
    case 2: return &work_.色_ルーラー;
    case 3: return &work_.色_選択文字;
    case 4: return &work_.色_強調文字列;
    case 5: return &work_.色_検索文字列[0];
    case 6: return &work_.色_検索文字列[1];
    case 7: return &work_.色_検索文字列[2];
    default: return nullptr;
    }
}

void TEditSettingForm::EditStrTypeListClick(TObject*)
{
    const int row = EditStrTypeList->ItemIndex();
    typColorRec* rec = SelectedColorRec();
    const bool background = rec && row <= 4;
    Btn_98->SetEnabled(rec != nullptr);
    Btn_96->SetEnabled(background);
    for (TCheckBox* c : {BoldCBox, ItalicCBox, UnderCBox})
        c->SetEnabled(rec != nullptr);
    Btn_96->SetVisible(background);
    CPanel_96->SetVisible(background);
    BkLabel->SetVisible(background);
    StrStyleGrp->SetVisible(row == 0);
    if (!rec)
        return;
    CPanel_98->SetColor(rec->colour);
    CPanel_96->SetColor(rec->bkcolour);
    // Showing the flags must not write them back.
    for (TCheckBox* c : {BoldCBox, ItalicCBox, UnderCBox})
        c->OnClick = TNotifyEvent();
    BoldCBox->SetChecked(rec->bold);
    ItalicCBox->SetChecked(rec->italic);
    UnderCBox->SetChecked(rec->underline);
    for (TCheckBox* c : {BoldCBox, ItalicCBox, UnderCBox})
        c->OnClick = TNotifyEvent(this, &TEditSettingForm::StyleCBoxClick);
}

void TEditSettingForm::StyleCBoxClick(TObject*)
{
    if (typColorRec* rec = SelectedColorRec())
    {
        rec->bold = BoldCBox->Checked();
        rec->italic = ItalicCBox->Checked();
        rec->underline = UnderCBox->Checked();
    }
}

void TEditSettingForm::ColorChangeBtnClick(TObject* sender)
{
    auto* button = dynamic_cast<TComponent*>(sender);
    if (!button)
        return;
    auto* panel = dynamic_cast<TPanel*>(FindComponent(Format("CPanel_%02d", {button->Tag()})));
    if (!panel)
        return;
    int colour = int(panel->Color());
    if (!Services().PickColor(HandleAllocated() ? Handle() : nullptr, colour))
        return;
    panel->SetColor(TColor(colour));
    typColorRec* rec = SelectedColorRec();
    if (rec && button->Tag() == 98)
        rec->colour = colour;
    else if (rec && button->Tag() == 96)
        rec->bkcolour = colour;
}

void TEditSettingForm::FontsCBoxChange(TObject*)
{
    FontSamplePanel->Font()->SetName(FontsCBox->Text());
    FontSamplePanel->Font()->SetSize(StrToIntDef(FontSizeCBox->Text(), 9));
}

// An edit and its up-down (same number in their names) show one value.
void TEditSettingForm::NumEditChange(TObject* sender)
{
    auto* edit = dynamic_cast<TEdit*>(sender);
    TUpDown* ud = edit == mEdit_01 ? UD_01 : edit == mEdit_02 ? UD_02 : nullptr;
    if (ud)
        ud->SetPosition(EditNumber(edit, 0));
}

void TEditSettingForm::UpDownChanging(TObject* sender, bool& allow, int value, TUpDownDirection)
{
    auto* ud = dynamic_cast<TUpDown*>(sender);
    TEdit* edit = ud == UD_01 ? mEdit_01 : ud == UD_02 ? mEdit_02 : nullptr;
    allow = edit && value >= ud->Min() && value <= ud->Max();
    if (!allow)
        return;
    TNotifyEvent keep = edit->OnChange;
    edit->OnChange = TNotifyEvent();
    edit->SetText(IntToStr(value));
    edit->OnChange = keep;
}

void TEditSettingForm::KindefBtnClick(TObject*)
{
    const VN::typEditSetting d = VN::EditSettingDefaults();
    KinHeadEdit->SetText(NsStringToAnsi(d.BANHEAD));
    KinLastEdit->SetText(NsStringToAnsi(d.BANEND));
}

void TEditSettingForm::NumEditKeyPress(TObject*, char& key)
{
    if (key == '\r' || (static_cast<unsigned char>(key) >= 32 && (key < '0' || key > '9')))
        key = 0;
}

void TEditSettingForm::OkBtnClick(TObject*)
{
    const int tabSize = EditNumber(mEdit_02, 0);
    if (tabSize < VN::kTabSizeMin || tabSize > VN::kTabSizeMax)
    {
        ErrorBox("%s", msgTabSizeRange);
        return;
    }
    const int wrapWidth = EditNumber(WrapPosEdit, 0);
    if (wrapWidth < VN::kWrapWidthMin || wrapWidth > VN::kWrapWidthMax)
    {
        ErrorBox("%s", msgWrapWidthRange);
        return;
    }
    // An empty pitch means the usual one; anything else must be a pitch the editor can draw.
    const int rowPitch = EditNumber(mEdit_01, 2);
    if (rowPitch < VN::kRowPitchMin || rowPitch > VN::kRowPitchMax)
    {
        ErrorBox("%s", msgRowPitchRange);
        return;
    }

    VN::typEditSetting s = work_;
    s.色_文字 = CPanel_99->Color();
    s.STR_BKCOLOR = CPanel_97->Color();
    s.FONT_NAME = AnsiToNsString(FontsCBox->Text());
    s.FONT_SIZE = std::clamp(StrToIntDef(FontSizeCBox->Text(), 9), VN::kFontSizeMin, VN::kFontSizeMax);
    s.ROWPITCH = rowPitch;
    s.TABSIZE = tabSize;
    s.WRAPWIDTH = wrapWidth;
    s.DISPROWNUM = RowNumCBox->Checked();
    s.DISPRULA = RuraCBox->Checked();
    s.AUTO_INDENT = AutoIndentCBox->Checked();
    s.UNDOBSAVE = UndoBSaveCBox->Checked();
    s.DISPTAB = DispTabCBox->Checked();
    s.DISSPACE2 = DispSpace2CBox->Checked();
    s.USETAB = UseTabCBox->Checked();
    s.ISWRAP = WrapCBox->Checked();
    s.KINSOKU = KinsokuCBox->Checked();
    s.BACKUPFILE = BackupFileCBox->Checked();
    s.IS_REMAIN = RemainCBox->Checked();
    s.BANHEAD = AnsiToNsString(KinHeadEdit->Text());
    s.BANEND = AnsiToNsString(KinLastEdit->Text());
    s.WINDOW_ALPHABLENDVALUE = std::max(kWindowAlphaFloor, 255 - TransparentTrackBar->Position());
    VN::EditSetting = s;

    VN::typWallpaperSetting wallpaper;
    ReadWallpaperSettings(wallpaper, SettingsKey);
    WriteWallpaperSettings(wallpaper, VN::EditSetting, SettingsKey);
    WriteEditSetting(VN::EditSetting, SettingsKey);
    // What the pages get is what a restart would read.
    ReadEditSetting(VN::EditSetting, SettingsKey);
    if (ApplyToAllEditors)
        ApplyToAllEditors();
    SetModalResult(mrOk);
}
