// The file-search dialog.
#include "search/FileSrchFrm.h"

#include <utility>

#include "search/SrchFrm.h"

#include "common/English.h"
#include "common/Nsenumwindows.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"

TFileSrchForm* FileSrchForm = nullptr;

namespace
{
constexpr TColor kDisabledCombo = TColor(0xE6E6E6);

// A label as wide as its text, whose access key goes to control.
TLabel* AddLabel(TFileSrchForm* form, const AnsiString& text, int x, int y, TWinControl* control)
{
    auto* label = Create<TLabel>(form);
    label->SetCaption(text);
    label->SetBounds(x, y, 0, 0);
    label->SetFocusControl(control);
    label->SetParent(form);
    return label;
}
} // namespace

TFileSrchForm::TFileSrchForm(TComponent* owner) : TForm(owner)
{
    SetName("FileSrchForm");
    SetCaption("ファイル検索");
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetBounds(0, 0, 470, 290);
    SetKeyPreview(true);

    SrchStrCBox = Create<TComboBox>(this);
    AddLabel(this, "検索文字列(&S)", 12, 14, SrchStrCBox);
    PlaceControl(this, SrchStrCBox, "SrchStrCBox", "", 130, 10, 320, 24);
    FileNameCBox = Create<TComboBox>(this);
    AddLabel(this, "ファイル名(&F)", 12, 44, FileNameCBox);
    PlaceControl(this, FileNameCBox, "FileNameCBox", "", 130, 40, 320, 24);
    FileNameCBox->SetText("*.*");

    PRJ_RBtn = PlaceControl(this, Create<TRadioButton>(this), "PRJ_RBtn", "ファイルが存在するフォルダ以下", 12, 74,
                     300, 20);
    SRCH_DIR_RBtn =
        PlaceControl(this, Create<TRadioButton>(this), "SRCH_DIR_RBtn", "指定検索ディレクトリ以下", 12, 98, 300, 20);
    SrchDirCBox = PlaceControl(this, Create<TComboBox>(this), "SrchDirCBox", "", 30, 122, 380, 24);
    FLB_01 = PlaceControl(this, Create<TButton>(this), "FLB_01", "...", 416, 122, 34, 24);
    PRJ_RBtn->OnClick = TNotifyEvent(this, &TFileSrchForm::SrchTypeRBtnClick);
    SRCH_DIR_RBtn->OnClick = TNotifyEvent(this, &TFileSrchForm::SrchTypeRBtnClick);
    FLB_01->OnClick = TNotifyEvent(this, &TFileSrchForm::FLB_01Click);
    SRCH_DIR_RBtn->SetChecked(true);

    SubDirChkBox =
        PlaceControl(this, Create<TCheckBox>(this), "SubDirChkBox", "サブディレクトリも検索", 12, 156, 220, 20);
    SubDirChkBox->SetChecked(true);
    AlphaChkBox =
        PlaceControl(this, Create<TCheckBox>(this), "AlphaChkBox", "大文字と小文字を区別", 240, 156, 220, 20);
    WordChkBox = PlaceControl(this, Create<TCheckBox>(this), "WordChkBox", "単語単位で検索", 12, 180, 220, 20);
    RegExpChkBox = PlaceControl(this, Create<TCheckBox>(this), "RegExpChkBox", "正規表現検索", 240, 180, 220, 20);

    SrchBtn = PlaceControl(this, Create<TButton>(this), "SrchBtn", "検索開始", 250, 218, 96, 26);
    SrchBtn->SetDefault(true);
    SrchBtn->OnClick = TNotifyEvent(this, &TFileSrchForm::SrchBtnClick);
    CancelBtn = PlaceControl(this, Create<TButton>(this), "CancelBtn", "キャンセル", 354, 218, 96, 26);
    CancelBtn->SetCancel(true);
    CancelBtn->SetModalResult(mrCancel);

    OnShow = TNotifyEvent(this, &TFileSrchForm::FormShow);
    OnKeyPress = TKeyPressEvent(this, &TFileSrchForm::FormKeyPress);
}

void TFileSrchForm::FormShow(TObject*)
{
    // An untitled page has no folder to search.
    const bool project = !ActiveFilePath.IsEmpty();
    PRJ_RBtn->SetEnabled(project);
    ReadSettings();
    if (!project)
        SRCH_DIR_RBtn->SetChecked(true);
    SrchTypeRBtnClick(nullptr);
    if (SrchStrCBox->HandleAllocated())
        SrchStrCBox->SetFocus();
}

void TFileSrchForm::FormKeyPress(TObject*, char& key)
{
    if (key == 27)
    {
        key = 0;
        SetModalResult(mrCancel);
    }
}

void TFileSrchForm::SrchTypeRBtnClick(TObject*)
{
    const bool folder = SRCH_DIR_RBtn->Checked();
    SrchDirCBox->SetEnabled(folder);
    SrchDirCBox->SetColor(folder ? clWindow : kDisabledCombo);
    FLB_01->SetEnabled(folder);
}

void TFileSrchForm::FLB_01Click(TObject*)
{
    AnsiString folder = SrchDirCBox->Text();
    if (Services().BrowseForFolder(Handle(), msgGrepFolderTitle, folder))
        SrchDirCBox->SetText(folder);
}

void TFileSrchForm::ReadSettings()
{
    VN::typSearchSetting f;
    ReadSearchSettings(f, SettingsKey);
    const std::pair<TComboBox*, const AnsiString*> histories[] = {
        {SrchStrCBox, &f.fileSearchStrHistory}, {FileNameCBox, &f.fileSearchNameHistory},
        {SrchDirCBox, &f.fileSearchDirHistory}};
    // Each string offers the last one used (after a restart too); without a history it stays.
    for (const auto& [combo, text] : histories)
    {
        const AnsiString typed = combo->Text();
        combo->Items()->SetText(*text);
        while (combo->Items()->GetCount() > VN::kSearchHistoryMax)
            combo->Items()->Delete(combo->Items()->GetCount() - 1);
        combo->SetText(combo->Items()->GetCount() > 0 ? combo->Items()->Get(0) : typed);
    }
    (f.fileSearchType == 0 && PRJ_RBtn->Enabled() ? PRJ_RBtn : SRCH_DIR_RBtn)->SetChecked(true);
    WordChkBox->SetChecked(f.fileSearchWord);
    AlphaChkBox->SetChecked(f.fileSearchCase);
    RegExpChkBox->SetChecked(f.fileSearchRegular);
    SubDirChkBox->SetChecked(f.fileSearchSubDir);
}

void TFileSrchForm::WriteSettings()
{
    VN::typSearchSetting f;
    ReadSearchSettings(f, SettingsKey); // the find dialog keeps its part of the section
    f.fileSearchType = PRJ_RBtn->Checked() ? 0 : 1;
    f.fileSearchWord = WordChkBox->Checked();
    f.fileSearchCase = AlphaChkBox->Checked();
    f.fileSearchRegular = RegExpChkBox->Checked();
    f.fileSearchSubDir = SubDirChkBox->Checked();
    f.fileSearchStrHistory = SrchStrCBox->Items()->GetText();
    f.fileSearchNameHistory = FileNameCBox->Items()->GetText();
    f.fileSearchDirHistory = SrchDirCBox->Items()->GetText();
    try
    {
        WriteSearchSettings(f, SettingsKey);
    }
    catch (const Exception&)
    {
        // The search itself does not depend on the histories being stored.
    }
}

void TFileSrchForm::SrchBtnClick(TObject*)
{
    if (SRCH_DIR_RBtn->Checked())
    {
        const AnsiString folder = NormalizeGrepFolder(SrchDirCBox->Text().Trim());
        if (folder.IsEmpty() || !DirectoryExists(folder))
        {
            ErrorBox("%s", msgGrepNoFolder);
            return;
        }
    }
    const AnsiString pattern = SrchStrCBox->Text();
    if (pattern.IsEmpty())
    {
        ErrorBox("%s", msgGrepNoText);
        return;
    }
    PushComboHistory(SrchStrCBox, pattern);
    PushComboHistory(FileNameCBox, FileNameCBox->Text());
    PushComboHistory(SrchDirCBox, SrchDirCBox->Text());
    WriteSettings();
    SetModalResult(mrOk);
}

TGrepRequest TFileSrchForm::Request() const
{
    TGrepRequest request;
    request.Pattern = SrchStrCBox->Text();
    request.Masks = FileNameCBox->Text();
    request.Recurse = SubDirChkBox->Checked();
    request.CaseSensitive = AlphaChkBox->Checked();
    request.WholeWord = WordChkBox->Checked();
    request.Regex = RegExpChkBox->Checked();
    if (PRJ_RBtn->Checked() && PRJ_RBtn->Enabled() && !ActiveFilePath.IsEmpty())
        request.Folder = NormalizeGrepFolder(ExtractFilePath(ActiveFilePath));
    else
        request.Folder = NormalizeGrepFolder(SrchDirCBox->Text().Trim());
    return request;
}
