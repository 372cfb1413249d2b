// The wallpaper settings: one picture or a folder of pictures changed at an interval, the
// picture's transparency, and the colour and transparency of the text background over it, with a
// preview.
#pragma once

#include <functional>

#include "dialogs/AALabel.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"

// The main window's part of the settings.
struct typWallpaperValues
{
    bool folderMode = false;
    AnsiString file;
    AnsiString folder;
    int minutes = 3;
    int seconds = 0;
};

class TWallPaperForm : public TForm
{
public:
    explicit TWallPaperForm(TComponent* owner);
    ~TWallPaperForm() override;

    // Set by the main window: its values when the dialog opens, and what OK gives (the editor
    // settings record is already updated then; the callee stores and applies everything).
    std::function<typWallpaperValues()> GetValues;
    std::function<void(const typWallpaperValues&)> ApplyValues;

    TRadioButton* YesRBtn = nullptr;
    TRadioButton* NoRBtn = nullptr;
    TTrackBar* BlendTrackBar = nullptr;
    TEdit* BlendEdit = nullptr;
    TPanel* Panel2 = nullptr;
    TImage* PhotoImage = nullptr;
    TLabel* ImageUnSetupLabel = nullptr;
    TAALabel* TxtBkLabel = nullptr;
    TButton* ImageViewBtn = nullptr;
    TPanel* CPanel_01 = nullptr;
    TButton* Btn_01 = nullptr;
    TButton* Btn_02 = nullptr;
    TRadioButton* AutoRB = nullptr;
    TRadioButton* ManualRB = nullptr;
    TTrackBar* TxtBkBlendTrackBar = nullptr;
    TEdit* TxtBkABEdit = nullptr;
    TEdit* TxtBkTestEdit = nullptr;
    TRadioButton* WPDirectRBtn = nullptr;
    TEdit* FilePathEdit = nullptr;
    TButton* FileReadBtn = nullptr;
    TRadioButton* WPFolderRBtn = nullptr;
    TEdit* WPFolderEdit = nullptr;
    TButton* FolderSelectBtn = nullptr;
    TEdit* WPIntervalEdit = nullptr;
    TEdit* WPIntervalSecEdit = nullptr;
    TButton* UnLoadBtn = nullptr;
    TButton* OkBtn = nullptr;
    TButton* CancelBtn = nullptr;

    // The picture shown (null when none).
    TPicture* Picture() const { return FPicture; }
    // The preview's source: the picture scaled to the panel once, blended on every change.
    TBitmap* PreviewBase() const { return FPreviewBase; }
    int PreviewBuilds() const { return FPreviewBuilds; }

    bool LoadPreviewPicture(const AnsiString& file);
    bool ScanPictureFolder(const AnsiString& folder);
    void DrawPreview();
    void AutoTextAlpha();

    void FormShow(TObject* sender);
    void BlendEditChange(TObject* sender);
    void BlendTrackBarChange(TObject* sender);
    void AblendRBtnClick(TObject* sender);
    void BlendEditKeyPress(TObject* sender, char& key);
    void BlendEditExit(TObject* sender);
    void TxtBkABEditChange(TObject* sender);
    void TxtBkBlendTrackBarChange(TObject* sender);
    void TxtBkABEditExit(TObject* sender);
    void WPIntervalEditExit(TObject* sender);
    void ManualRBClick(TObject* sender);
    void AutoRBClick(TObject* sender);
    void Btn_01Click(TObject* sender);
    void Btn_02Click(TObject* sender);
    void TxtBkTestEditChange(TObject* sender);
    void FileReadBtnClick(TObject* sender);
    void FolderSelectBtnClick(TObject* sender);
    void WPDirectRBtnClick(TObject* sender);
    void UnLoadBtnClick(TObject* sender);
    void ImageViewBtnClick(TObject* sender);
    void OkBtnClick(TObject* sender);

private:
    void ClearPreview();
    void SetTextBackColor(TColor color);
    // Refuses a value outside 0..255 with the message and puts the focus on the edit.
    bool CheckAlphaEdit(TEdit* edit);
    // Whether an edit being left is to be checked: not while filling, nor when the user leaves for
    // Cancel (whatever was typed is dropped then, and Cancel must always work).
    bool ChecksOnExit() const;
    // Gives the focus back to an edit that was left with a wrong value.
    void ReturnFocus(TEdit* edit);
    TPicture* FPicture = nullptr;
    AnsiString FPictureFile; // the file FPicture was loaded from
    TBitmap* FPreviewBase = nullptr;
    int FPreviewBuilds = 0;
    bool FFilling = false; // the controls are being filled: their handlers wait
};

extern TWallPaperForm* WallPaperForm;
