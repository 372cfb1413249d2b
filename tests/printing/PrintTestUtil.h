// A printer of the test's own (300 dpi, A4 unless told) installed while it lives, and the text
// records of a laid-out page.
#pragma once

#include <windows.h>

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
        return dc_;
    }
    DEVMODEW* DevMode() override { return nullptr; }
    bool hasDC = true;

private:
    int width_, height_, dpi_;
    HDC dc_;
    TPrinter* previous_;
};

// One text output of a page: its text (CP932), reference point and clip rectangle.
struct typTextRecord
{
    std::string text;
    POINT ref;
    RECTL clip;
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
