// The wallpaper settings dialog.
#include "dialogs/WallPaperFrm.h"

#include <algorithm>

#include "common/English.h"
#include "common/Nsenumwindows.h"
#include "common/WallpaperFiles.h"
#include "common/WexmoorDef.h"
#include "dialogs/ImageFrm.h"
#include "editor_page/Nsrichedit.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"

TWallPaperForm* WallPaperForm = nullptr;

namespace
{
template <class T>
T* Place(TComponent* owner, TWinControl* parent, const char* name, const AnsiString& caption, int x, int y, int w,
         int h)
{
    return PlaceControl(parent, Create<T>(owner), name, caption, x, y, w, h);
}

int EditValue(TEdit* edit, int fallback) { return StrToIntDef(edit->Text().Trim(), fallback); }

// Moves the slider to its number box's value when that is a whole 0 to 255; else -1.
int FollowEdit(TEdit* edit, TTrackBar* slider)
{
    const int v = EditValue(edit, -1);
    if (v < 0 || v > 255)
        return -1;
    slider->SetPosition(v);
    return v;
}
} // namespace

TWallPaperForm::TWallPaperForm(TComponent* owner) : TForm(owner)
{
    SetName("WallPaperForm");
    SetCaption("壁紙の設定");
    SetBorderStyle(bsDialog);
    SetKeyPreview(true);
    // Over the main window, as the other settings dialogs: under Wine's desktop a window opened
    // over a window that reaches past the main window is drawn black (its file, folder and
    // colour dialogs, its question boxes).
    SetPosition(poMainFormCenter);
    SetBounds(0, 0, 690, 500);
    FPicture = new TPicture();
    FPreviewBase = new TBitmap();
    auto label = [this](TWinControl* parent, const AnsiString& text, int x, int y, int w = 0) {
        auto* l = Place<TLabel>(this, parent, nullptr, text, x, y, w, 16);
        if (w > 0)
            l->SetAutoSize(false);
        return l;
    };
    auto number = [this](TWinControl* parent, const char* name, int x, int y, int digits) {
        auto* e = Place<TEdit>(this, parent, name, "", x, y, 12 + 9 * digits, 21);
        e->SetMaxLength(digits);
        e->SetImeMode(imDisable);
        e->OnKeyPress = TKeyPressEvent(this, &TWallPaperForm::BlendEditKeyPress);
        return e;
    };
    // A 0 to 255 slider with its number box beside it.
    auto byteSlider = [&](TWinControl* parent, const char* name, const char* editName, int x, int y, int w,
                          TEdit*& edit) {
        auto* t = Place<TTrackBar>(this, parent, name, "", x, y, w, 30);
        t->SetMax(255);
        t->SetFrequency(32);
        t->SetPosition(255);
        edit = number(parent, editName, x + w + 6, y + 4, 3);
        return t;
    };

    // Preview.
    Panel2 = Place<TPanel>(this, this, "Panel2", "", 10, 10, 240, 180);
    Panel2->SetColor(clWhite);
    PhotoImage = Place<TImage>(this, Panel2, "PhotoImage", "", 0, 0, 240, 180);
    PhotoImage->SetStretch(true);
    PhotoImage->SetVisible(false); // shown with a picture, in place of "画像未設定"
    ImageUnSetupLabel = Place<TLabel>(this, Panel2, "ImageUnSetupLabel", "画像未設定", 90, 80, 70, 16);
    TxtBkLabel = Place<TAALabel>(this, Panel2, "TxtBkLabel", "", 8, 8, 120, 22);
    TxtBkLabel->SetAlphaBlend(true);
    TxtBkLabel->SetLayout(tlCenter);
    TxtBkLabel->SetVisible(false);
    ImageViewBtn = Place<TButton>(this, this, "ImageViewBtn", "原寸大で見る", 10, 196, 115, 25);
    UnLoadBtn = Place<TButton>(this, this, "UnLoadBtn", "壁紙の解除", 135, 196, 115, 25);

    // The picture's transparency.
    auto* blendBox = Place<TGroupBox>(this, this, "BlendGroupBox", "透明化処理", 10, 230, 240, 125);
    YesRBtn = Place<TRadioButton>(this, blendBox, "YesRBtn", "する", 12, 20, 60, 18);
    NoRBtn = Place<TRadioButton>(this, blendBox, "NoRBtn", "しない", 80, 20, 70, 18);
    label(blendBox, "壁紙の透明度(0～255)", 12, 44);
    BlendTrackBar = byteSlider(blendBox, "BlendTrackBar", "BlendEdit", 6, 62, 170, BlendEdit);
    label(blendBox, "| 0", 12, 96);
    label(blendBox, "| 128", 78, 96);
    label(blendBox, "| 255", 150, 96);

    // The text background.
    auto* textBox = Place<TGroupBox>(this, this, "TextGroupBox", "テキストの背景色設定", 260, 10, 405, 205);
    label(textBox, "背景色", 12, 24);
    CPanel_01 = Place<TPanel>(this, textBox, "CPanel_01", "", 60, 20, 40, 22);
    Btn_01 = Place<TButton>(this, textBox, "Btn_01", "変更", 106, 19, 50, 25);
    Btn_02 = Place<TButton>(this, textBox, "Btn_02", "エディタの背景と同色", 162, 19, 160, 25);
    AutoRB = Place<TRadioButton>(this, textBox, "AutoRB", "自動設定", 12, 52, 90, 18);
    ManualRB = Place<TRadioButton>(this, textBox, "ManualRB", "手動設定", 110, 52, 90, 18);
    label(textBox, "テキスト背景色の透明度(0～255)", 12, 76);
    TxtBkBlendTrackBar = byteSlider(textBox, "TxtBkBlendTrackBar", "TxtBkABEdit", 6, 94, 250, TxtBkABEdit);
    label(textBox, "表示テスト", 12, 134);
    TxtBkTestEdit = Place<TEdit>(this, textBox, "TxtBkTestEdit", "", 84, 130, 150, 21);
    TxtBkTestEdit->SetMaxLength(16);
    label(textBox, "※任意の文字を入力すると左上の画像の上に表示されます", 12, 162, 385);

    // One picture or a folder.
    auto* modeBox = Place<TGroupBox>(this, this, "ModeGroupBox", "", 260, 220, 405, 150);
    WPDirectRBtn =
        Place<TRadioButton>(this, modeBox, "WPDirectRBtn", "画像ファイルを直接指定(表示される壁紙は固定)", 10, 14, 385, 18);
    label(modeBox, "画像ファイルのパス", 26, 36);
    FilePathEdit = Place<TEdit>(this, modeBox, "FilePathEdit", "", 26, 52, 240, 21);
    FilePathEdit->SetReadOnly(true);
    FileReadBtn = Place<TButton>(this, modeBox, "FileReadBtn", "画像を開く　　　", 272, 50, 120, 25);
    WPFolderRBtn = Place<TRadioButton>(this, modeBox, "WPFolderRBtn",
                                       "画像ファイルの格納フォルダ指定(一定時間間隔で壁紙を変更)", 10, 80, 385, 18);
    label(modeBox, "画像ファイルの格納フォルダ", 26, 102);
    WPFolderEdit = Place<TEdit>(this, modeBox, "WPFolderEdit", "", 26, 118, 240, 21);
    WPFolderEdit->SetReadOnly(true);
    FolderSelectBtn = Place<TButton>(this, modeBox, "FolderSelectBtn", "フォルダを指定", 272, 116, 120, 25);

    label(this, "壁紙の変更間隔", 262, 382);
    WPIntervalEdit = number(this, "WPIntervalEdit", 360, 378, 2);
    label(this, "分", 394, 382);
    WPIntervalSecEdit = number(this, "WPIntervalSecEdit", 414, 378, 2);
    label(this, "秒", 448, 382);
    label(this, "(1秒～59分59秒)", 470, 382);

    OkBtn = Place<TButton>(this, this, "OkBtn", "OK", 475, 425, 90, 27);
    OkBtn->SetDefault(true);
    CancelBtn = Place<TButton>(this, this, "CancelBtn", "ｷｬﾝｾﾙ", 575, 425, 90, 27);
    CancelBtn->SetCancel(true);
    CancelBtn->SetModalResult(mrCancel);

    OnShow = TNotifyEvent(this, &TWallPaperForm::FormShow);
    BlendEdit->OnChange = TNotifyEvent(this, &TWallPaperForm::BlendEditChange);
    BlendTrackBar->OnChange = TNotifyEvent(this, &TWallPaperForm::BlendTrackBarChange);
    YesRBtn->OnClick = TNotifyEvent(this, &TWallPaperForm::AblendRBtnClick);
    NoRBtn->OnClick = TNotifyEvent(this, &TWallPaperForm::AblendRBtnClick);
    TxtBkABEdit->OnChange = TNotifyEvent(this, &TWallPaperForm::TxtBkABEditChange);
    TxtBkBlendTrackBar->OnChange = TNotifyEvent(this, &TWallPaperForm::TxtBkBlendTrackBarChange);
    ManualRB->OnClick = TNotifyEvent(this, &TWallPaperForm::ManualRBClick);
    AutoRB->OnClick = TNotifyEvent(this, &TWallPaperForm::AutoRBClick);
    Btn_01->OnClick = TNotifyEvent(this, &TWallPaperForm::Btn_01Click);
    Btn_02->OnClick = TNotifyEvent(this, &TWallPaperForm::Btn_02Click);
    TxtBkTestEdit->OnChange = TNotifyEvent(this, &TWallPaperForm::TxtBkTestEditChange);
    FileReadBtn->OnClick = TNotifyEvent(this, &TWallPaperForm::FileReadBtnClick);
    FolderSelectBtn->OnClick = TNotifyEvent(this, &TWallPaperForm::FolderSelectBtnClick);
    WPDirectRBtn->OnClick = TNotifyEvent(this, &TWallPaperForm::WPDirectRBtnClick);
    WPFolderRBtn->OnClick = TNotifyEvent(this, &TWallPaperForm::WPDirectRBtnClick);
    UnLoadBtn->OnClick = TNotifyEvent(this, &TWallPaperForm::UnLoadBtnClick);
    ImageViewBtn->OnClick = TNotifyEvent(this, &TWallPaperForm::ImageViewBtnClick);
    OkBtn->OnClick = TNotifyEvent(this, &TWallPaperForm::OkBtnClick);
    BlendEdit->OnExit = TNotifyEvent(this, &TWallPaperForm::BlendEditExit);
    TxtBkABEdit->OnExit = TNotifyEvent(this, &TWallPaperForm::TxtBkABEditExit);
    WPIntervalEdit->OnExit = TNotifyEvent(this, &TWallPaperForm::WPIntervalEditExit);
    WPIntervalSecEdit->OnExit = TNotifyEvent(this, &TWallPaperForm::WPIntervalEditExit);
}

TWallPaperForm::~TWallPaperForm()
{
    delete FPicture;
    delete FPreviewBase;
}

// ---- preview ----------------------------------------------------------------------------------------

void TWallPaperForm::ClearPreview()
{
    FPicture->Clear();
    FPictureFile = "";
    FPreviewBase->SetSize(0, 0);
    PhotoImage->Picture()->Clear();
    PhotoImage->SetVisible(false);
    TxtBkLabel->SetVisible(false);
    ImageUnSetupLabel->SetVisible(true);
}

bool TWallPaperForm::LoadPreviewPicture(const AnsiString& file)
{
    if (file.IsEmpty())
    {
        ClearPreview();
        return true;
    }
    try
    {
        auto* picture = new TPicture();
        try
        {
            // Read aside: a slow picture leaves the dialog drawn, and the main window's rotation going.
            picture->LoadFromFileAside(file,
                                       typPictureRead{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
            // Scaled to the panel once; moving a slider only blends this again.
            FPreviewBase->AssignScaled(picture->Bitmap(), Panel2->ClientWidth(), Panel2->ClientHeight());
        }
        catch (...)
        {
            delete picture;
            throw;
        }
        delete FPicture;
        FPicture = picture;
        FPictureFile = file;
        ++FPreviewBuilds;
    }
    catch (const std::exception&)
    {
        return false;
    }
    ImageUnSetupLabel->SetVisible(false);
    PhotoImage->SetVisible(true);
    DrawPreview();
    TxtBkLabel->SetVisible(true);
    return true;
}

bool TWallPaperForm::ScanPictureFolder(const AnsiString& folder)
{
    for (const AnsiString& file : ListWallpaperPictures(folder))
        if (LoadPreviewPicture(file))
            return true;
    return false;
}

void TWallPaperForm::DrawPreview()
{
    if (FPreviewBase->Empty())
        return;
    TBitmap shown;
    shown.SetSize(FPreviewBase->Width(), FPreviewBase->Height());
    // Blended over the editor's background colour, as the editor does.
    shown.Canvas()->Brush()->SetColor(VN::EditSetting.色_文字);
    shown.Canvas()->FillRect(TRect(0, 0, shown.Width(), shown.Height()));
    if (!YesRBtn->Checked() || !AlphaBlendDraw(shown.Canvas(), 0, 0, FPreviewBase, 255 - BlendTrackBar->Position()))
        shown.Canvas()->Draw(0, 0, FPreviewBase);
    PhotoImage->Picture()->Assign(&shown);
    TxtBkABEditChange(nullptr);
}

void TWallPaperForm::AutoTextAlpha()
{
    if (!AutoRB->Checked())
        return;
    const int t = std::clamp(EditValue(BlendEdit, 0), 0, 255);
    // The editor's own rule, so that the preview shows what the editor will.
    TxtBkABEdit->SetText(IntToStr(255 - nsRichEdit::AutoTextBackAlpha(255 - t)));
}

// ---- filling ----------------------------------------------------------------------------------------

void TWallPaperForm::FormShow(TObject*)
{
    const typWallpaperValues v = GetValues ? GetValues() : typWallpaperValues();
    const VN::typEditSetting& e = VN::EditSetting;
    FFilling = true;
    YesRBtn->SetChecked(e.TRANSPARENCY);
    NoRBtn->SetChecked(!e.TRANSPARENCY);
    WPIntervalEdit->SetText(IntToStr(v.minutes));
    WPIntervalSecEdit->SetText(IntToStr(v.seconds));
    BlendEdit->SetText(IntToStr(255 - std::clamp(e.ALPHA_VALUE, 0, 255)));
    BlendTrackBar->SetPosition(255 - std::clamp(e.ALPHA_VALUE, 0, 255));
    FilePathEdit->SetText(v.file);
    WPFolderEdit->SetText(v.folder);
    WPFolderRBtn->SetChecked(v.folderMode);
    WPDirectRBtn->SetChecked(!v.folderMode);
    FilePathEdit->SetEnabled(!v.folderMode);
    FileReadBtn->SetEnabled(!v.folderMode);
    WPFolderEdit->SetEnabled(v.folderMode);
    FolderSelectBtn->SetEnabled(v.folderMode);
    AutoRB->SetChecked(e.STR_TRANSPARENCY);
    ManualRB->SetChecked(!e.STR_TRANSPARENCY);
    TxtBkABEdit->SetEnabled(!e.STR_TRANSPARENCY);
    TxtBkBlendTrackBar->SetEnabled(!e.STR_TRANSPARENCY);
    TxtBkABEdit->SetText(IntToStr(std::clamp(e.STR_BK_ALPHA, 0, 255)));
    TxtBkBlendTrackBar->SetPosition(std::clamp(e.STR_BK_ALPHA, 0, 255));
    TxtBkTestEdit->SetText("TEST");
    TxtBkLabel->SetCaption("TEST");
    SetTextBackColor(e.STR_BKCOLOR);
    TxtBkLabel->Font()->SetColor(e.色_背景.colour);
    FFilling = false;

    ClearPreview();
    if (v.folderMode)
    {
        if (!v.folder.IsEmpty() && !ScanPictureFolder(v.folder))
            WarningBox("%s", msgPictureFolderEmpty);
    }
    else if (!LoadPreviewPicture(v.file))
        WarningBox("%s", msgPictureUnreadable);
    AutoTextAlpha();
    TxtBkABEditChange(nullptr);
    SetActiveControl(OkBtn);
}

void TWallPaperForm::SetTextBackColor(TColor color)
{
    CPanel_01->SetColor(color);
    TxtBkLabel->SetColor(color);
}

// ---- handlers ---------------------------------------------------------------------------------------

void TWallPaperForm::BlendEditChange(TObject*)
{
    if (FFilling || FollowEdit(BlendEdit, BlendTrackBar) < 0)
        return;
    DrawPreview();
    AutoTextAlpha();
}

void TWallPaperForm::BlendTrackBarChange(TObject*)
{
    if (!FFilling)
        BlendEdit->SetText(IntToStr(BlendTrackBar->Position()));
}

void TWallPaperForm::AblendRBtnClick(TObject*)
{
    if (!FFilling)
        DrawPreview();
}

void TWallPaperForm::BlendEditKeyPress(TObject*, char& key)
{
    if (key == '\r' || (static_cast<unsigned char>(key) >= 32 && (key < '0' || key > '9')))
        key = 0;
}

bool TWallPaperForm::ChecksOnExit() const { return !FFilling && ActiveControl() != CancelBtn; }

void TWallPaperForm::ReturnFocus(TEdit* edit)
{
    if (edit->CanFocus())
        edit->SetFocus();
}

void TWallPaperForm::BlendEditExit(TObject*)
{
    const int v = EditValue(BlendEdit, -1);
    if (!ChecksOnExit() || (v >= 0 && v <= 255))
        return;
    // The fourth wrong value in a row gets the sharper word.
    if (BlendEdit->Tag() >= 3)
    {
        ErrorBox("%s", msgBlendRangeAgain);
        BlendEdit->SetTag(0);
    }
    else
    {
        ErrorBox("%s", msgBlendRange);
        BlendEdit->SetTag(BlendEdit->Tag() + 1);
    }
    ReturnFocus(BlendEdit);
}

void TWallPaperForm::TxtBkABEditChange(TObject*)
{
    const int v = FFilling ? -1 : FollowEdit(TxtBkABEdit, TxtBkBlendTrackBar);
    if (v < 0)
        return;
    TxtBkLabel->SetAlphaBlendValue(YesRBtn->Checked() ? 255 - v : 0);
}

void TWallPaperForm::TxtBkBlendTrackBarChange(TObject*)
{
    if (!FFilling)
        TxtBkABEdit->SetText(IntToStr(TxtBkBlendTrackBar->Position()));
}

void TWallPaperForm::TxtBkABEditExit(TObject*)
{
    const int v = EditValue(TxtBkABEdit, -1);
    if (!ChecksOnExit() || (v >= 0 && v <= 255))
        return;
    ErrorBox("%s", msgTextBlendRange);
    ReturnFocus(TxtBkABEdit);
}

void TWallPaperForm::WPIntervalEditExit(TObject* sender)
{
    auto* edit = dynamic_cast<TEdit*>(sender);
    if (!edit)
        return;
    const int v = EditValue(edit, 0);
    if (!ChecksOnExit() || (v >= 0 && v <= 59))
        return;
    ErrorBox("%s", msgIntervalRange);
    ReturnFocus(edit);
}

void TWallPaperForm::ManualRBClick(TObject*)
{
    TxtBkABEdit->SetEnabled(true);
    TxtBkBlendTrackBar->SetEnabled(true);
}

void TWallPaperForm::AutoRBClick(TObject*)
{
    TxtBkABEdit->SetEnabled(false);
    TxtBkBlendTrackBar->SetEnabled(false);
    if (!FFilling)
        AutoTextAlpha();
}

void TWallPaperForm::Btn_01Click(TObject*)
{
    int color = ColorToRGB(CPanel_01->Color());
    if (Services().PickColor(Handle(), color))
        SetTextBackColor(color);
}

void TWallPaperForm::Btn_02Click(TObject*) { SetTextBackColor(VN::EditSetting.色_文字); }

void TWallPaperForm::TxtBkTestEditChange(TObject*) { TxtBkLabel->SetCaption(TxtBkTestEdit->Text()); }

void TWallPaperForm::FileReadBtnClick(TObject*)
{
    TFileDialogData d;
    d.Filter = msgPictureFilter;
    d.InitialDir = ExtractFilePath(FilePathEdit->Text());
    if (!Services().OpenFileDialog(Handle(), d))
        return;
    if (YesNoBox(msgConfirmPicture, NameForBox(d.FileName).c_str()) != baYes)
        return;
    // The path is taken only with a picture that loads.
    if (LoadPreviewPicture(d.FileName))
        FilePathEdit->SetText(d.FileName);
    else
        ErrorBox("%s", msgPictureSetFailed);
}

void TWallPaperForm::FolderSelectBtnClick(TObject*)
{
    AnsiString folder = WPFolderEdit->Text();
    if (!Services().BrowseForFolder(Handle(), msgWallpaperFolderTitle, folder))
        return;
    if (ScanPictureFolder(folder))
        WPFolderEdit->SetText(folder);
    else
        ErrorBox("%s", msgChosenFolderEmpty);
}

void TWallPaperForm::WPDirectRBtnClick(TObject*)
{
    if (FFilling)
        return;
    const bool folder = WPFolderRBtn->Checked();
    ClearPreview();
    FilePathEdit->SetEnabled(!folder);
    FileReadBtn->SetEnabled(!folder);
    WPFolderEdit->SetEnabled(folder);
    FolderSelectBtn->SetEnabled(folder);
    if (folder)
        ScanPictureFolder(WPFolderEdit->Text());
    else
        LoadPreviewPicture(FilePathEdit->Text());
}

void TWallPaperForm::UnLoadBtnClick(TObject*)
{
    if (FPicture->Empty() || YesNoBox("%s", msgConfirmRemoveWallpaper) != baYes)
        return;
    ClearPreview();
    if (WPFolderRBtn->Checked())
        WPFolderEdit->SetText("");
    else
        FilePathEdit->SetText("");
}

void TWallPaperForm::ImageViewBtnClick(TObject*)
{
    if (FPicture->Empty() || !ImageForm)
        return;
    // Read again at its own size (the preview's copy is shrunk to the screen), aside: a large
    // picture takes a while.
    try
    {
        ImageForm->Image->Picture()->LoadFromFileAside(FPictureFile);
    }
    catch (const std::exception&)
    {
        ErrorBox(msgPictureNotViewed, NameForBox(FPictureFile).c_str());
        return;
    }
    ImageForm->ShowModal();
    // A photo at its own size is large: it goes with the window.
    ImageForm->Image->Picture()->Clear();
}

bool TWallPaperForm::CheckAlphaEdit(TEdit* edit)
{
    const int v = EditValue(edit, -1);
    if (v >= 0 && v <= 255)
        return true;
    ErrorBox("%s", msgBlendRange);
    if (edit->CanFocus())
        edit->SetFocus();
    return false;
}

void TWallPaperForm::OkBtnClick(TObject*)
{
    const int m = EditValue(WPIntervalEdit, 0), s = EditValue(WPIntervalSecEdit, 0);
    if ((m == 0 && s == 0) || m < 0 || m > 59 || s < 0 || s > 59)
    {
        ErrorBox("%s", msgWallpaperIntervalInvalid);
        return;
    }
    // Enter presses OK straight from an edit: its value is checked here, the focused edit first so
    // that sending the focus to the other one does not make it refuse to be left as well.
    TEdit* first = ActiveControl() == TxtBkABEdit ? TxtBkABEdit : BlendEdit;
    TEdit* second = first == BlendEdit ? TxtBkABEdit : BlendEdit;
    if (!CheckAlphaEdit(first) || !CheckAlphaEdit(second))
        return;
    VN::typEditSetting& e = VN::EditSetting;
    e.TRANSPARENCY = YesRBtn->Checked();
    e.ALPHA_VALUE = 255 - BlendTrackBar->Position();
    e.STR_BKCOLOR = CPanel_01->Color();
    e.STR_TRANSPARENCY = AutoRB->Checked();
    e.STR_BK_ALPHA = EditValue(TxtBkABEdit, 0);
    typWallpaperValues v;
    v.folderMode = WPFolderRBtn->Checked();
    v.file = FilePathEdit->Text();
    v.folder = WPFolderEdit->Text();
    v.minutes = m;
    v.seconds = s;
    if (ApplyValues)
        ApplyValues(v);
    SetModalResult(mrOk);
}
