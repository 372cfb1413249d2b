// A printer of the test's own (300 dpi, A4 unless told) that keeps the pages of its jobs,
// installed while it lives, and the text records of a laid-out page.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/Cp932.h"
#include "platform/Printers.h"

class TFakePrinter : public TPrinter
{
public:
    TFakePrinter(int width = 2480, int height = 3508, int dpi = 300)
        : width_(width), height_(height), dpi_(dpi), dc_(CreateCompatibleDC(nullptr)), previous_(SetPrinter(this))
    {
    }
    ~TFakePrinter() override
    {
        SetPrinter(previous_);
        Abort();
        for (HENHMETAFILE page : jobPages)
            DeleteEnhMetaFile(page);
        DeleteDC(dc_);
    }
    int DeviceCaps(int index) override
    {
        switch (index)
        {
        case LOGPIXELSX:
        case LOGPIXELSY: return dpi_;
        case HORZRES: return width_;
        case VERTRES: return height_;
        default: return GetDeviceCaps(dc_, index);
        }
    }
    HDC Handle() override
    {
        if (!hasDC)
            throw EPrinter("no DC");
        return page_ ? page_ : dc_;
    }
    // A job's pages are recorded into jobPages (owned here), each as it was drawn; an aborted job
    // leaves none.
    void BeginDoc() override
    {
        Abort();
        aborted = false;
        page_ = CreateEnhMetaFileW(dc_, nullptr, nullptr, nullptr);
    }
    void NewPage() override
    {
        jobPages.push_back(CloseEnhMetaFile(page_));
        page_ = CreateEnhMetaFileW(dc_, nullptr, nullptr, nullptr);
    }
    void EndDoc() override
    {
        jobPages.push_back(CloseEnhMetaFile(page_));
        page_ = nullptr;
    }
    void Abort() override
    {
        if (!page_)
            return;
        DeleteEnhMetaFile(CloseEnhMetaFile(page_));
        page_ = nullptr;
        for (HENHMETAFILE page : jobPages)
            DeleteEnhMetaFile(page);
        jobPages.clear();
        aborted = true;
    }
    std::vector<HENHMETAFILE> jobPages;
    bool aborted = false;
    // Without a paper number no device mode, as a printer that has none (A4 is assumed).
    DEVMODEW* DevMode() override
    {
        if (!paper)
            return nullptr;
        devMode_.dmSize = sizeof devMode_;
        devMode_.dmFields = DM_PAPERSIZE;
        devMode_.dmPaperSize = paper;
        return &devMode_;
    }
    short paper = 0;
    // The driver's paper answers; none given: -1, as without a device mode.
    int DeviceCapability(WORD capability, wchar_t* output) override
    {
        return capabilities ? capabilities(capability, output) : -1;
    }
    bool hasDC = true;
    std::function<int(WORD, wchar_t*)> capabilities;

private:
    int width_, height_, dpi_;
    DEVMODEW devMode_{};
    HDC dc_;
    HDC page_ = nullptr;
    TPrinter* previous_;
};

// One text output of a page: its text (CP932), reference point, clip rectangle and the advance of
// each UTF-16 unit.
struct typTextRecord
{
    std::string text;
    POINT ref;
    RECTL clip;
    std::vector<int> dx;
};

inline int CALLBACK CollectTextRecord(HDC, HANDLETABLE*, const ENHMETARECORD* rec, int, LPARAM param)
{
        if (rec->iType == EMR_EXTTEXTOUTW)
        {
            auto* r = reinterpret_cast<const EMREXTTEXTOUTW*>(rec);
            const auto* text = reinterpret_cast<const wchar_t*>(reinterpret_cast<const BYTE*>(rec) + r->emrtext.offString);
            typTextRecord t;
            t.text = WideToSjis(text, int(r->emrtext.nChars)).str();
            t.ref = POINT{r->emrtext.ptlReference.x, r->emrtext.ptlReference.y};
            t.clip = r->emrtext.rcl;
            if (r->emrtext.offDx)
            {
                const auto* dx = reinterpret_cast<const INT*>(reinterpret_cast<const BYTE*>(rec) + r->emrtext.offDx);
                t.dx.assign(dx, dx + r->emrtext.nChars);
            }
            reinterpret_cast<std::vector<typTextRecord>*>(param)->push_back(t);
        }
        return 1;
}

inline std::vector<typTextRecord> TextRecords(HENHMETAFILE emf)
{
    std::vector<typTextRecord> out;
    EnumEnhMetaFile(nullptr, emf, CollectTextRecord, &out, nullptr);
    return out;
}

// Adds a printer that writes PostScript to a file (the system's PostScript driver with the
// generic description it carries) and makes the printer object use it; false (with why) when the
// system has no such driver.
inline bool AddFilePrinter(const wchar_t* name, const std::wstring& folder, std::string& why)
{
    HMODULE spool = GetModuleHandleW(L"winspool.drv");
    if (!spool)
        spool = LoadLibraryW(L"winspool.drv");
    HRSRC res = spool ? FindResourceW(spool, MAKEINTRESOURCEW(1), L"PPDFILE") : nullptr;
    if (!res)
    {
        why = "no generic PPD";
        return false;
    }
    const std::wstring ppd = folder + L"\\generic.ppd";
    {
        HANDLE f = CreateFileW(ppd.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(f, LockResource(LoadResource(spool, res)), SizeofResource(spool, res), &written, nullptr);
        CloseHandle(f);
    }
    DRIVER_INFO_3W di{};
    di.cVersion = 3;
    di.pName = const_cast<wchar_t*>(L"Wine PostScript Driver");
    di.pDriverPath = const_cast<wchar_t*>(L"wineps.drv");
    di.pConfigFile = const_cast<wchar_t*>(L"wineps.drv");
    di.pDataFile = const_cast<wchar_t*>(ppd.c_str());
    di.pDefaultDataType = const_cast<wchar_t*>(L"RAW");
    if (!AddPrinterDriverExW(nullptr, 3, reinterpret_cast<BYTE*>(&di), APD_COPY_NEW_FILES | APD_COPY_FROM_DIRECTORY) &&
        GetLastError() != ERROR_PRINTER_DRIVER_ALREADY_INSTALLED)
    {
        why = "AddPrinterDriverEx failed: " + std::to_string(GetLastError());
        return false;
    }
    PRINTER_INFO_2W pi{};
    pi.pPrinterName = const_cast<wchar_t*>(name);
    pi.pPortName = const_cast<wchar_t*>(L"FILE:");
    pi.pDriverName = di.pName;
    pi.pPrintProcessor = const_cast<wchar_t*>(L"WinPrint");
    pi.pDatatype = const_cast<wchar_t*>(L"RAW");
    pi.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    HANDLE h = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&pi));
    if (!h && GetLastError() != ERROR_PRINTER_ALREADY_EXISTS)
    {
        why = "AddPrinter failed: " + std::to_string(GetLastError());
        return false;
    }
    if (h)
        ClosePrinter(h);
    TPrinter* printer = Printer();
    printer->Refresh();
    const int index = printer->Printers()->IndexOf(WideToSjis(std::wstring(name)));
    if (index < 0)
    {
        why = "the new printer is not listed";
        return false;
    }
    printer->SetPrinterIndex(index);
    return true;
}

// The job title a PostScript file carries ("%%Title: (...)", with its escapes undone).
inline std::string PostScriptTitle(const std::string& ps)
{
    const std::string mark = "%%Title: ";
    size_t at = ps.find(mark);
    if (at == std::string::npos)
        return "";
    at += mark.size();
    // Plain text to the line's end, or a string in parentheses with escapes.
    if (ps[at] != '(')
        return ps.substr(at, ps.find_first_of("\r\n", at) - at);
    std::string title;
    for (++at; at < ps.size() && ps[at] != ')'; ++at)
    {
        if (ps[at] != '\\' || at + 1 >= ps.size())
        {
            title += ps[at];
            continue;
        }
        ++at;
        if (ps[at] >= '0' && ps[at] <= '7')
        {
            int v = 0;
            for (int n = 0; n < 3 && at < ps.size() && ps[at] >= '0' && ps[at] <= '7'; ++n, ++at)
                v = v * 8 + (ps[at] - '0');
            --at;
            title += char(v);
        }
        else
            title += ps[at];
    }
    return title;
}
