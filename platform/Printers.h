// Enhanced metafiles with their drawing canvas, and the printer object: the installed printers,
// the current one's device mode, page size and canvas, and the print job.
#pragma once

#include <vector>

#include <windows.h>
#include <winspool.h>
#undef TextOut
#undef GetPrinter // our TPrinter::GetPrinter, not the A/W macro

#include "Classes.h"
#include "Graphics.h"
#include "SysUtils.h"

VN_DECLARE_EXCEPTION(EPrinter, Exception)

// An enhanced metafile. Width and Height are in the logical units it was drawn in (a page's dots).
// A finished recording is kept as its bytes, so that thousands of pages do not hold thousands of
// GDI handles; Handle() makes one when asked for and keeps it until Clear or ReleaseHandle.
class TMetafile : public TObject
{
public:
    TMetafile() = default;
    ~TMetafile() override { Clear(); }
    TMetafile(const TMetafile&) = delete;
    TMetafile& operator=(const TMetafile&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetWidth(int w) { width_ = w; }
    void SetHeight(int h) { height_ = h; }
    bool Empty() const { return bits_.empty(); }
    HENHMETAFILE Handle();
    void ReleaseHandle();
    // Takes the recording over (the handle is deleted once its bytes are kept).
    void SetHandle(HENHMETAFILE handle);
    void Clear();
    size_t Size() const { return bits_.size(); }

    // Plays the metafile stretched over dest; with blanks (on the screen), a character the
    // rasterizer leaves blank at the size it comes out at shows as its outline's box.
    void Draw(HDC dc, const TRect& dest, TBlankGlyphs* blanks = nullptr) const;

private:
    std::vector<BYTE> bits_;
    HENHMETAFILE handle_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// The bytes of every finished recording held by a TMetafile now.
size_t MetafileBytesHeld();

// Records drawing into a metafile, with reference's resolution (the screen when null). The
// metafile receives the recording when the canvas is freed.
class TMetafileCanvas : public TCanvas
{
public:
    TMetafileCanvas(TMetafile* metafile, HDC reference);
    ~TMetafileCanvas() override;

private:
    TMetafile* metafile_;
    HDC recording_ = nullptr;
};

enum TPrinterOrientation { poPortrait, poLandscape };

// The printers of the system and the print job on the current one. The device mode and the
// information DC are made when first asked for and dropped when the printer index changes.
// Geometry and job calls raise EPrinter when there is no printer or the device refuses.
class TPrinter : public TObject
{
public:
    TPrinter();
    ~TPrinter() override;
    TPrinter(const TPrinter&) = delete;
    TPrinter& operator=(const TPrinter&) = delete;

    // Names of the installed printers, in the system's order.
    TStrings* Printers();
    // -1 selects the system's default printer.
    int PrinterIndex();
    void SetPrinterIndex(int index);
    void Refresh(); // reads the printer list again
    bool HasPrinter() { return Printers()->GetCount() > 0; }

    // Device name, driver and port of the current printer, and its device mode (owned by the
    // printer object; null when it has none).
    void GetPrinter(AnsiString& device, AnsiString& driver, AnsiString& port, DEVMODEW*& devMode);
    virtual DEVMODEW* DevMode();
    TPrinterOrientation Orientation();

    // Printer capabilities (GetDeviceCaps) of the current printer: virtual so that tests lay out
    // pages for a device of their own.
    virtual int DeviceCaps(int index);
    // The driver's answer to DeviceCapabilities for the current printer and device mode (-1 without
    // a device mode): virtual so that tests give the answers a driver may give.
    virtual int DeviceCapability(WORD capability, wchar_t* output);
    int PageWidth() { return DeviceCaps(HORZRES); }
    int PageHeight() { return DeviceCaps(VERTRES); }
    // The job's DC while printing, else an information DC of the printer.
    virtual HDC Handle();
    TCanvas* Canvas();
    // The fonts the printer offers, each name once, in the order the device lists them.
    TStrings* Fonts();

    const AnsiString& Title() const { return title_; }
    void SetTitle(const AnsiString& title) { title_ = title; }
    // Where the job goes instead of the printer's port (tests); empty: the port.
    const AnsiString& OutputFile() const { return outputFile_; }
    void SetOutputFile(const AnsiString& path) { outputFile_ = path; }

    // The system's printer set-up dialog: the printer and device mode chosen there become current.
    bool RunSetupDialog(HWND owner);

    // Every job step is checked: a refused step aborts the job and raises EPrinter. Virtual so
    // that tests keep the pages of a job.
    virtual void BeginDoc();
    virtual void NewPage();
    virtual void EndDoc();
    virtual void Abort();
    bool Printing() const { return jobDC_ != nullptr; }
    bool Aborted() const { return aborted_; }
    int PageNumber() const { return pageNumber_; }

private:
    void Release(); // drops the device mode and the information DC
    void NeedDevice();
    [[noreturn]] void Fail(const char* step);

    TStringList* printers_;
    TStringList* fonts_;
    bool listed_ = false;
    int index_ = -1;
    AnsiString device_, driver_, port_;
    std::vector<BYTE> devMode_;
    bool deviceRead_ = false;
    HDC infoDC_ = nullptr;
    HDC jobDC_ = nullptr;
    TCanvas* canvas_;
    AnsiString title_;
    AnsiString outputFile_;
    bool aborted_ = false;
    int pageNumber_ = 0;
};

// The printer object in use (made on first use); tests install their own with SetPrinter.
TPrinter* Printer();
// Installs printer (owned by the caller; null: the default object again) and returns the previous.
TPrinter* SetPrinter(TPrinter* printer);
