#include "Printers.h"

#include <atomic>
#include <set>

#include <commdlg.h>

#include "Cp932.h"

// ---------------------------------------------------------------------------------------------
// Metafiles

namespace
{
std::atomic<size_t> g_metafileBytes{0};
} // namespace

size_t MetafileBytesHeld()
{
    return g_metafileBytes;
}

void TMetafile::SetHandle(HENHMETAFILE handle)
{
    Clear();
    if (!handle)
        return;
    const UINT size = GetEnhMetaFileBits(handle, 0, nullptr);
    bits_.resize(size);
    if (size)
        GetEnhMetaFileBits(handle, size, bits_.data());
    g_metafileBytes += bits_.size();
    DeleteEnhMetaFile(handle);
}

HENHMETAFILE TMetafile::Handle()
{
    if (!handle_ && !bits_.empty())
        handle_ = SetEnhMetaFileBits(UINT(bits_.size()), bits_.data());
    return handle_;
}

void TMetafile::ReleaseHandle()
{
    if (handle_)
        DeleteEnhMetaFile(handle_);
    handle_ = nullptr;
}

void TMetafile::Clear()
{
    ReleaseHandle();
    g_metafileBytes -= bits_.size();
    bits_.clear();
    bits_.shrink_to_fit();
}

namespace
{
// Plays each record, and inks the blank characters of each text record with the state it left.
int CALLBACK PlayInking(HDC dc, HANDLETABLE* table, const ENHMETARECORD* record, int objects, LPARAM param)
{
    PlayEnhMetaFileRecord(dc, table, record, UINT(objects));
    auto*& blanks = *reinterpret_cast<TBlankGlyphs**>(param);
    if (blanks && record->iType == EMR_EXTTEXTOUTW)
    {
        try
        {
            blanks->Ink(dc, *reinterpret_cast<const EMREXTTEXTOUTW*>(record));
        }
        catch (...)
        {
            blanks = nullptr; // the rest of the page is played as it is
        }
    }
    return 1;
}
} // namespace

void TMetafile::Draw(HDC dc, const TRect& dest, TBlankGlyphs* blanks) const
{
    if (bits_.empty())
        return;
    HENHMETAFILE h = handle_ ? handle_ : SetEnhMetaFileBits(UINT(bits_.size()), bits_.data());
    if (!h)
        return;
    RECT r{dest.Left, dest.Top, dest.Right, dest.Bottom};
    if (blanks)
        EnumEnhMetaFile(dc, h, PlayInking, &blanks, &r);
    else
        PlayEnhMetaFile(dc, h, &r);
    if (h != handle_)
        DeleteEnhMetaFile(h);
}

TMetafileCanvas::TMetafileCanvas(TMetafile* metafile, HDC reference) : metafile_(metafile)
{
    HDC screen = reference ? nullptr : GetDC(nullptr);
    HDC ref = reference ? reference : screen;
    // The frame is in hundredths of a millimetre of the reference device.
    const int w = metafile->Width(), h = metafile->Height();
    RECT frame{0, 0, 0, 0};
    if (w > 0 && h > 0)
    {
        frame.right = MulDiv(w, GetDeviceCaps(ref, HORZSIZE) * 100, GetDeviceCaps(ref, HORZRES));
        frame.bottom = MulDiv(h, GetDeviceCaps(ref, VERTSIZE) * 100, GetDeviceCaps(ref, VERTRES));
    }
    recording_ = CreateEnhMetaFileW(ref, nullptr, w > 0 && h > 0 ? &frame : nullptr, nullptr);
    if (screen)
        ReleaseDC(nullptr, screen);
    if (!recording_)
        RaiseLastOSError();
    SetHandle(recording_);
}

TMetafileCanvas::~TMetafileCanvas()
{
    SetHandle(nullptr);
    if (recording_)
        metafile_->SetHandle(CloseEnhMetaFile(recording_));
}

// ---------------------------------------------------------------------------------------------
// The printer

TPrinter::TPrinter() : printers_(new TStringList), fonts_(new TStringList), canvas_(new TCanvas) {}

TPrinter::~TPrinter()
{
    if (jobDC_)
    {
        AbortDoc(jobDC_);
        DeleteDC(jobDC_);
        jobDC_ = nullptr;
    }
    canvas_->SetHandle(nullptr);
    Release();
    delete canvas_;
    delete fonts_;
    delete printers_;
}

TStrings* TPrinter::Printers()
{
    if (listed_)
        return printers_;
    listed_ = true;
    printers_->Clear();
    DWORD needed = 0, count = 0;
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    EnumPrintersW(flags, nullptr, 4, nullptr, 0, &needed, &count);
    if (needed == 0)
        return printers_;
    std::vector<BYTE> buf(needed);
    if (!EnumPrintersW(flags, nullptr, 4, buf.data(), needed, &needed, &count))
        return printers_;
    auto* info = reinterpret_cast<PRINTER_INFO_4W*>(buf.data());
    for (DWORD i = 0; i < count; ++i)
        if (info[i].pPrinterName)
            printers_->Add(WideToSjis(info[i].pPrinterName, int(wcslen(info[i].pPrinterName))));
    return printers_;
}

void TPrinter::Refresh()
{
    if (Printing())
        throw EPrinter("印刷中はプリンターを変更できません。");
    listed_ = false;
    Release();
    index_ = -1;
}

int TPrinter::PrinterIndex()
{
    if (index_ >= 0)
        return index_;
    TStrings* list = Printers();
    if (list->GetCount() == 0)
        return -1;
    wchar_t name[512];
    DWORD size = DWORD(std::size(name));
    if (GetDefaultPrinterW(name, &size))
    {
        const int i = list->IndexOf(WideToSjis(name, int(wcslen(name))));
        if (i >= 0)
            return i;
    }
    return 0;
}

void TPrinter::SetPrinterIndex(int index)
{
    if (Printing())
        throw EPrinter("印刷中はプリンターを変更できません。");
    if (index < -1 || index >= Printers()->GetCount())
        throw EPrinter("プリンターの番号が範囲外です。");
    if (index != index_)
        Release();
    index_ = index;
}

void TPrinter::Release()
{
    if (infoDC_)
        DeleteDC(infoDC_);
    infoDC_ = nullptr;
    devMode_.clear();
    device_ = driver_ = port_ = AnsiString();
    deviceRead_ = false;
    fonts_->Clear();
}

void TPrinter::NeedDevice()
{
    if (deviceRead_)
        return;
    const int index = PrinterIndex();
    if (index < 0)
        throw EPrinter("プリンターがありません。");
    deviceRead_ = true;
    device_ = Printers()->Get(index);
    std::wstring name = SjisToWide(device_);
    HANDLE h = nullptr;
    if (!OpenPrinterW(name.data(), &h, nullptr))
        return;
    DWORD needed = 0;
    ::GetPrinterW(h, 2, nullptr, 0, &needed);
    if (needed > 0)
    {
        std::vector<BYTE> buf(needed);
        if (::GetPrinterW(h, 2, buf.data(), needed, &needed))
        {
            auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buf.data());
            if (info->pDriverName)
                driver_ = WideToSjis(info->pDriverName, int(wcslen(info->pDriverName)));
            if (info->pPortName)
                port_ = WideToSjis(info->pPortName, int(wcslen(info->pPortName)));
        }
    }
    const LONG size = DocumentPropertiesW(nullptr, h, name.data(), nullptr, nullptr, 0);
    if (size > LONG(sizeof(DEVMODEW)) / 2)
    {
        devMode_.assign(size_t(size), 0);
        if (DocumentPropertiesW(nullptr, h, name.data(), reinterpret_cast<DEVMODEW*>(devMode_.data()), nullptr,
                                DM_OUT_BUFFER) != IDOK)
            devMode_.clear();
    }
    ClosePrinter(h);
}

void TPrinter::GetPrinter(AnsiString& device, AnsiString& driver, AnsiString& port, DEVMODEW*& devMode)
{
    NeedDevice();
    device = device_;
    driver = driver_;
    port = port_;
    devMode = DevMode();
}

DEVMODEW* TPrinter::DevMode()
{
    NeedDevice();
    return devMode_.empty() ? nullptr : reinterpret_cast<DEVMODEW*>(devMode_.data());
}

TPrinterOrientation TPrinter::Orientation()
{
    DEVMODEW* dm = DevMode();
    return dm && (dm->dmFields & DM_ORIENTATION) && dm->dmOrientation == DMORIENT_LANDSCAPE ? poLandscape
                                                                                           : poPortrait;
}

HDC TPrinter::Handle()
{
    if (jobDC_)
        return jobDC_;
    if (!infoDC_)
    {
        NeedDevice();
        infoDC_ = CreateICW(nullptr, SjisToWide(device_).c_str(), nullptr, DevMode());
        if (!infoDC_)
            throw EPrinter("プリンターの情報を取得できません。");
    }
    return infoDC_;
}

int TPrinter::DeviceCaps(int index)
{
    return GetDeviceCaps(Handle(), index);
}

int TPrinter::DeviceCapability(WORD capability, wchar_t* output)
{
    DEVMODEW* dm = DevMode();
    if (!dm)
        return -1;
    return DeviceCapabilitiesW(SjisToWide(device_).c_str(), SjisToWide(port_).c_str(), capability, output, dm);
}

TCanvas* TPrinter::Canvas()
{
    canvas_->SetHandle(Handle());
    return canvas_;
}

namespace
{
int CALLBACK CollectFont(const LOGFONTW* lf, const TEXTMETRICW*, DWORD, LPARAM param)
{
    auto* names = reinterpret_cast<std::vector<std::wstring>*>(param);
    names->emplace_back(lf->lfFaceName);
    return 1;
}
} // namespace

TStrings* TPrinter::Fonts()
{
    if (fonts_->GetCount() > 0)
        return fonts_;
    std::vector<std::wstring> names;
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExW(Handle(), &lf, CollectFont, reinterpret_cast<LPARAM>(&names), 0);
    std::set<std::wstring> seen;
    for (const std::wstring& n : names)
        if (seen.insert(n).second)
            fonts_->Add(WideToSjis(n));
    return fonts_;
}

bool TPrinter::RunSetupDialog(HWND owner)
{
    if (Printing() || !HasPrinter())
        return false;
    PRINTDLGW pd{};
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = owner;
    pd.Flags = PD_PRINTSETUP;
    DEVMODEW* current = nullptr;
    try
    {
        current = DevMode();
    }
    catch (const EPrinter&)
    {
    }
    if (current)
    {
        const size_t size = current->dmSize + current->dmDriverExtra;
        pd.hDevMode = GlobalAlloc(GMEM_MOVEABLE, size);
        if (pd.hDevMode)
        {
            memcpy(GlobalLock(pd.hDevMode), current, size);
            GlobalUnlock(pd.hDevMode);
        }
    }
    const bool ok = PrintDlgW(&pd);
    if (ok && pd.hDevNames)
    {
        auto* names = static_cast<DEVNAMES*>(GlobalLock(pd.hDevNames));
        const wchar_t* device = reinterpret_cast<const wchar_t*>(names) + names->wDeviceOffset;
        const int index = Printers()->IndexOf(WideToSjis(device, int(wcslen(device))));
        GlobalUnlock(pd.hDevNames);
        if (index >= 0)
        {
            Release();
            index_ = index;
            NeedDevice();
            if (pd.hDevMode)
            {
                auto* dm = static_cast<const DEVMODEW*>(GlobalLock(pd.hDevMode));
                const size_t size = dm->dmSize + dm->dmDriverExtra;
                devMode_.assign(reinterpret_cast<const BYTE*>(dm), reinterpret_cast<const BYTE*>(dm) + size);
                GlobalUnlock(pd.hDevMode);
            }
        }
    }
    if (pd.hDevMode)
        GlobalFree(pd.hDevMode);
    if (pd.hDevNames)
        GlobalFree(pd.hDevNames);
    return ok;
}

void TPrinter::Fail(const char* step)
{
    const DWORD error = GetLastError();
    if (jobDC_)
    {
        AbortDoc(jobDC_);
        canvas_->SetHandle(nullptr);
        DeleteDC(jobDC_);
        jobDC_ = nullptr;
    }
    aborted_ = true;
    throw EPrinter(AnsiString("印刷できませんでした (") + step + ")。" + SysErrorMessage(error));
}

void TPrinter::BeginDoc()
{
    if (Printing())
        throw EPrinter("既に印刷中です。");
    NeedDevice();
    aborted_ = false;
    pageNumber_ = 0;
    canvas_->SetHandle(nullptr);
    jobDC_ = CreateDCW(nullptr, SjisToWide(device_).c_str(), nullptr, DevMode());
    if (!jobDC_)
        Fail("CreateDC");
    const std::wstring title = SjisToWide(title_);
    const std::wstring output = SjisToWide(outputFile_);
    DOCINFOW info{};
    info.cbSize = sizeof info;
    info.lpszDocName = title.c_str();
    info.lpszOutput = outputFile_.IsEmpty() ? nullptr : output.c_str();
    if (StartDocW(jobDC_, &info) <= 0)
        Fail("StartDoc");
    if (StartPage(jobDC_) <= 0)
        Fail("StartPage");
    pageNumber_ = 1;
}

void TPrinter::NewPage()
{
    if (!Printing())
        throw EPrinter("印刷中ではありません。");
    canvas_->SetHandle(nullptr);
    if (EndPage(jobDC_) <= 0)
        Fail("EndPage");
    if (StartPage(jobDC_) <= 0)
        Fail("StartPage");
    ++pageNumber_;
}

void TPrinter::EndDoc()
{
    if (!Printing())
        return;
    canvas_->SetHandle(nullptr);
    if (EndPage(jobDC_) <= 0)
        Fail("EndPage");
    if (::EndDoc(jobDC_) <= 0)
        Fail("EndDoc");
    DeleteDC(jobDC_);
    jobDC_ = nullptr;
}

void TPrinter::Abort()
{
    if (!Printing())
        return;
    canvas_->SetHandle(nullptr);
    AbortDoc(jobDC_);
    DeleteDC(jobDC_);
    jobDC_ = nullptr;
    aborted_ = true;
}

namespace
{
TPrinter* g_installed = nullptr;
TPrinter* g_default = nullptr;
} // namespace

TPrinter* Printer()
{
    if (g_installed)
        return g_installed;
    if (!g_default)
        g_default = new TPrinter;
    return g_default;
}

TPrinter* SetPrinter(TPrinter* printer)
{
    TPrinter* previous = Printer();
    g_installed = printer;
    return previous == g_default ? nullptr : previous;
}
