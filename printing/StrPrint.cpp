#include "printing/StrPrint.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "common/English.h"
#include "common/Nsenumwindows.h"
#include "common/WexmoorDef.h"
#include "platform/Cp932.h"
#include "platform/Forms.h"
#include "printing/Strppfm.h"
#include "printing/Strpprog.h"

// ---------------------------------------------------------------------------------------------
// Lists

TMetafile* TMetaFileList::Add()
{
    auto* m = new TMetafile;
    TList::Add(m);
    return m;
}

void TMetaFileList::Clear()
{
    for (int i = 0; i < GetCount(); ++i)
        delete static_cast<TMetafile*>(Get(i));
    TList::Clear();
}

void TMetaFileList::DeletePage(int index)
{
    delete static_cast<TMetafile*>(Get(index));
    Delete(index);
}

typPaperItem* TPaperItemList::Add()
{
    auto* p = new typPaperItem;
    TList::Add(p);
    return p;
}

void TPaperItemList::Clear()
{
    for (int i = 0; i < GetCount(); ++i)
        delete GetPaperItem(i);
    TList::Clear();
}

void TPaperItemList::UpdateList()
{
    Clear();
    TPrinter* printer = Printer();
    try
    {
        // A driver answers -1 when it cannot tell.
        const int count = printer->DeviceCapability(DC_PAPERS, nullptr);
        if (count <= 0)
            return;
        std::vector<wchar_t> names(size_t(count) * 64 + 1, 0);
        std::vector<POINT> sizes(static_cast<size_t>(count));
        std::vector<WORD> ids(static_cast<size_t>(count), 0);
        // The three answers must describe the same papers.
        if (printer->DeviceCapability(DC_PAPERNAMES, names.data()) != count ||
            printer->DeviceCapability(DC_PAPERSIZE, reinterpret_cast<wchar_t*>(sizes.data())) != count ||
            printer->DeviceCapability(DC_PAPERS, reinterpret_cast<wchar_t*>(ids.data())) != count)
            return;
        for (int i = 0; i < count; ++i)
        {
            typPaperItem* p = Add();
            // A name fills its 64 characters without a terminator when it is that long.
            const wchar_t* name = names.data() + size_t(i) * 64;
            p->name = WideToSjis(name, int(wcsnlen(name, 64)));
            p->width = (sizes[size_t(i)].x + 5) / 10;
            p->height = (sizes[size_t(i)].y + 5) / 10;
            p->id = ids[size_t(i)];
        }
    }
    catch (const EPrinter&)
    {
        Clear();
    }
}

namespace
{
const typPaperEntry kPapers[68] = {
    {"DMPAPER_LETTER", 216, 279},
    {"DMPAPER_LETTERSMALL", 216, 279},
    {"DMPAPER_TABLOID", 279, 432},
    {"DMPAPER_LEDGER", 432, 279},
    {"DMPAPER_LEGAL", 216, 356},
    {"DMPAPER_STATEMENT", 140, 216},
    {"DMPAPER_EXECUTIVE", 184, 267},
    {"DMPAPER_A3", 297, 420},
    {"DMPAPER_A4", 210, 297},
    {"DMPAPER_A4SMALL", 210, 297},
    {"DMPAPER_A5", 148, 210},
    {"DMPAPER_B4", 250, 354},
    {"DMPAPER_B5", 182, 257},
    {"DMPAPER_FOLIO", 216, 330},
    {"DMPAPER_QUARTO", 215, 275},
    {"DMPAPER_10X14", 254, 356},
    {"DMPAPER_11X17", 279, 432},
    {"DMPAPER_NOTE", 216, 279},
    {"DMPAPER_ENV_9", 98, 225},
    {"DMPAPER_ENV_10", 105, 241},
    {"DMPAPER_ENV_11", 114, 263},
    {"DMPAPER_ENV_12", 121, 279},
    {"DMPAPER_ENV_14", 127, 292},
    {"DMPAPER_CSHEET", 100, 100},
    {"DMPAPER_DSHEET", 100, 100},
    {"DMPAPER_ESHEET", 100, 100},
    {"DMPAPER_ENV_DL", 110, 220},
    {"DMPAPER_ENV_C5", 162, 229},
    {"DMPAPER_ENV_C3", 324, 458},
    {"DMPAPER_ENV_C4", 229, 324},
    {"DMPAPER_ENV_C6", 114, 162},
    {"DMPAPER_ENV_C65", 114, 229},
    {"DMPAPER_ENV_B4", 250, 353},
    {"DMPAPER_ENV_B5", 176, 250},
    {"DMPAPER_ENV_B6", 176, 125},
    {"DMPAPER_ENV_ITALY", 110, 230},
    {"DMPAPER_ENV_MONARCH", 98, 191},
    {"DMPAPER_ENV_PERSONAL", 92, 165},
    {"DMPAPER_FANFOLD_US", 378, 279},
    {"DMPAPER_FANFOLD_STD_GERMAN", 216, 305},
    {"DMPAPER_FANFOLD_LGL_GERMAN", 216, 330},
    {"DMPAPER_ISO_B4", 250, 353},
    {"DMPAPER_JAPANESE_POSTCARD", 100, 148},
    {"DMPAPER_9X11", 229, 279},
    {"DMPAPER_10X11", 254, 279},
    {"DMPAPER_15X11", 381, 279},
    {"DMPAPER_ENV_INVITE", 220, 220},
    {"DMPAPER_RESERVED_48", 100, 100},
    {"DMPAPER_RESERVED_49", 100, 100},
    {"DMPAPER_LETTER_EXTRA", 241, 305},
    {"DMPAPER_LEGAL_EXTRA", 241, 381},
    {"DMPAPER_TABLOID_EXTRA", 305, 457},
    {"DMPAPER_A4_EXTRA", 236, 322},
    {"DMPAPER_LETTER_TRANSVERSE", 210, 279},
    {"DMPAPER_A4_TRANSVERSE", 210, 297},
    {"DMPAPER_LETTER_EXTRA_TRANSVERSE", 241, 305},
    {"DMPAPER_A_PLUS", 227, 356},
    {"DMPAPER_B_PLUS", 305, 487},
    {"DMPAPER_LETTER_PLUS", 216, 322},
    {"DMPAPER_A4_PLUS", 210, 330},
    {"DMPAPER_A5_TRANSVERSE", 148, 210},
    {"DMPAPER_B5_TRANSVERSE", 182, 257},
    {"DMPAPER_A3_EXTRA", 322, 445},
    {"DMPAPER_A5_EXTRA", 174, 235},
    {"DMPAPER_B5_EXTRA", 201, 276},
    {"DMPAPER_A2", 420, 594},
    {"DMPAPER_A3_TRANSVERSE", 297, 420},
    {"DMPAPER_A3_EXTRA_TRANSVERSE", 322, 445},
};
} // namespace

const typPaperEntry* FallbackPaper(int id)
{
    return id >= 1 && id <= 68 ? &kPapers[id - 1] : nullptr;
}

TStringsPrinterInfo::TStringsPrinterInfo(TComponent* owner) : TComponent(owner), papers_(new TPaperItemList) {}

TStringsPrinterInfo::~TStringsPrinterInfo()
{
    delete papers_;
}

void TStringsPrinterInfo::CheckPrinterIndex()
{
    const int index = Printer()->PrinterIndex();
    if (index == builtFor_)
        return;
    papers_->UpdateList();
    builtFor_ = index;
}

AnsiString TStringsPrinterInfo::GetPrinterName()
{
    TPrinter* p = Printer();
    const int index = p->PrinterIndex();
    return index >= 0 ? p->Printers()->Get(index) : AnsiString();
}

int TStringsPrinterInfo::GetPaperIndex()
{
    DEVMODEW* dm = nullptr;
    try
    {
        dm = Printer()->DevMode();
    }
    catch (const EPrinter&)
    {
    }
    return dm && (dm->dmFields & DM_PAPERSIZE) ? dm->dmPaperSize : DMPAPER_A4;
}

AnsiString TStringsPrinterInfo::GetPaperName()
{
    CheckPrinterIndex();
    const int id = GetPaperIndex();
    for (int i = 0; i < papers_->GetCount(); ++i)
        if (papers_->GetPaperItem(i)->id == id)
            return papers_->GetPaperItem(i)->name;
    const typPaperEntry* e = FallbackPaper(id);
    return e ? AnsiString(e->name) : AnsiString();
}

void TStringsPrinterInfo::GetPaperSize(int& width, int& height)
{
    CheckPrinterIndex();
    const int id = GetPaperIndex();
    for (int i = 0; i < papers_->GetCount(); ++i)
        if (papers_->GetPaperItem(i)->id == id)
        {
            width = papers_->GetPaperItem(i)->width;
            height = papers_->GetPaperItem(i)->height;
            return;
        }
    // An unknown paper number is taken as A4.
    const typPaperEntry* e = FallbackPaper(id);
    if (!e)
        e = FallbackPaper(DMPAPER_A4);
    width = e->width;
    height = e->height;
}

// ---------------------------------------------------------------------------------------------
// Line splitting

void SplitLineToWidth(const char* bytes, int len, const int* charWidths, int tabWidth, int width, bool wordBreak,
                      std::vector<typLinePiece>& pieces)
{
    pieces.clear();
    if (len <= 0)
    {
        pieces.push_back({0, 0});
        return;
    }
    auto charLen = [&](int i) {
        return IsSjisLead(static_cast<unsigned char>(bytes[i])) && i + 1 < len ? 2 : 1;
    };
    // Breaking after a space or control byte, or after a double-byte character, keeps words whole.
    auto breakAfter = [&](int i, int n) { return n == 2 || static_cast<unsigned char>(bytes[i]) < 33; };

    int pos = 0, ch = 0;
    while (pos < len)
    {
        int x = 0, k = pos, kch = ch;
        int lastBreak = -1, lastBreakCh = 0;
        bool fitsAll = true;
        while (k < len)
        {
            const int n = charLen(k);
            const int w = bytes[k] == '\t' && tabWidth > 0 ? tabWidth - x % tabWidth : charWidths[kch];
            if (x + w > width && k > pos)
            {
                fitsAll = false;
                break;
            }
            x += w;
            if (breakAfter(k, n))
            {
                lastBreak = k + n;
                lastBreakCh = kch + 1;
            }
            k += n;
            ++kch;
        }
        // A piece that ends inside a word goes back to its last break, if it has one.
        if (!fitsAll && wordBreak && lastBreak > pos && lastBreak < k)
        {
            k = lastBreak;
            kch = lastBreakCh;
        }
        pieces.push_back({pos, k - pos});
        pos = k;
        ch = kch;
    }
}

// ---------------------------------------------------------------------------------------------
// The component

TStringsPrinter::TStringsPrinter(TComponent* owner)
    : TStoreComponent(owner), font_(new TFont), info_(new TStringsPrinterInfo(this))
{
}

TStringsPrinter::~TStringsPrinter()
{
    delete font_;
}

namespace
{
int Clamp(int v, int lo, int hi)
{
    return std::max(lo, std::min(v, hi));
}
} // namespace

void TStringsPrinter::SetColumnCount(int v) { columnCount_ = Clamp(v, 1, VN::kPrintColumnsMax); }
void TStringsPrinter::SetColumnSpace(int v) { columnSpace_ = Clamp(v, 0, VN::kPrintMarginMax); }
void TStringsPrinter::SetFirstLineNumber(int v) { firstLineNumber_ = Clamp(v, 1, VN::kPrintNumberMax); }
void TStringsPrinter::SetFirstPageNumber(int v) { firstPageNumber_ = Clamp(v, 1, VN::kPrintNumberMax); }
void TStringsPrinter::SetLastLine(int v) { lastLine_ = Clamp(v, 1, VN::kPrintNumberMax); }
void TStringsPrinter::SetLastPage(int v) { lastPage_ = Clamp(v, 1, VN::kPrintNumberMax); }
void TStringsPrinter::SetMarginBottom(int v) { marginBottom_ = Clamp(v, 0, VN::kPrintMarginMax); }
void TStringsPrinter::SetMarginLeft(int v) { marginLeft_ = Clamp(v, 0, VN::kPrintMarginMax); }
void TStringsPrinter::SetMarginLine(int v) { marginLine_ = Clamp(v, 0, VN::kPrintMarginMax); }
void TStringsPrinter::SetMarginRight(int v) { marginRight_ = Clamp(v, 0, VN::kPrintMarginMax); }
void TStringsPrinter::SetMarginTop(int v) { marginTop_ = Clamp(v, 0, VN::kPrintMarginMax); }
void TStringsPrinter::SetStartLine(int v) { startLine_ = Clamp(v, 1, VN::kPrintNumberMax); }
void TStringsPrinter::SetStartPage(int v) { startPage_ = Clamp(v, 1, VN::kPrintNumberMax); }

void TStringsPrinter::Assign(const TStringsPrinter& s)
{
    columnCount_ = s.columnCount_;
    columnSpace_ = s.columnSpace_;
    fileName_ = s.fileName_;
    firstLineNumber_ = s.firstLineNumber_;
    firstPageNumber_ = s.firstPageNumber_;
    font_->Assign(*s.font_);
    footer_ = s.footer_;
    footerAlign_ = s.footerAlign_;
    header_ = s.header_;
    headerAlign_ = s.headerAlign_;
    lastLine_ = s.lastLine_;
    lastPage_ = s.lastPage_;
    lineNumber_ = s.lineNumber_;
    lineRangeOption_ = s.lineRangeOption_;
    marginBottom_ = s.marginBottom_;
    marginLeft_ = s.marginLeft_;
    marginLine_ = s.marginLine_;
    marginRight_ = s.marginRight_;
    marginTop_ = s.marginTop_;
    pageOption_ = s.pageOption_;
    rangeOption_ = s.rangeOption_;
    startLine_ = s.startLine_;
    startPage_ = s.startPage_;
    wordBreak_ = s.wordBreak_;
}

double TStringsPrinter::Ratio()
{
    HDC screen = GetDC(nullptr);
    const int screenDpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    const int printerDpi = Printer()->DeviceCaps(LOGPIXELSX);
    return printerDpi > 0 ? double(screenDpi) / printerDpi : 1.0;
}

int TStringsPrinter::PrinterDot(double mm)
{
    return int(std::lround(Printer()->DeviceCaps(LOGPIXELSX) * mm / 25.4));
}

TRect TStringsPrinter::PaperOffset()
{
    try
    {
        TPrinter* p = Printer();
        int wmm = 0, hmm = 0;
        info_->GetPaperSize(wmm, hmm);
        int paperW = PrinterDot(wmm), paperH = PrinterDot(hmm);
        if (p->Orientation() == poLandscape)
            std::swap(paperW, paperH);
        const int pageW = p->PageWidth(), pageH = p->PageHeight();
        TRect r;
        r.Left = std::max(0, (paperW - pageW) / 2);
        r.Top = std::max(0, (paperH - pageH) / 2);
        r.Right = std::max(0, paperW - pageW - r.Left);
        r.Bottom = std::max(0, paperH - pageH - r.Top);
        return r;
    }
    catch (const Exception&)
    {
        return TRect(0, 0, 0, 0);
    }
}

AnsiString TStringsPrinter::ParseHeader(const AnsiString& format)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    AnsiString out;
    const int n = format.Length();
    for (int i = 1; i <= n; ++i)
    {
        const char c = format[i];
        if (c != '%')
        {
            out += c;
            continue;
        }
        if (i == n)
            break; // a final "%" adds nothing
        const char m = format[++i];
        switch (m)
        {
        case 'p': out += AnsiString(pageCounter_); break;
        case 'f': out += fileName_; break;
        case 'F': out += ExtractFileName(fileName_); break;
        case 'y': out += AnsiString(int(now.wYear)); break;
        case 'm': out += AnsiString(int(now.wMonth)); break;
        case 'd': out += AnsiString(int(now.wDay)); break;
        case 't':
        {
            wchar_t buf[64];
            const int got = GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, nullptr, buf, int(std::size(buf)));
            if (got > 1)
                out += WideToSjis(buf, got - 1);
            break;
        }
        default:
            out += m;
            // The second byte of a double-byte character after "%" goes with it.
            if (IsSjisLead(static_cast<unsigned char>(m)) && i < n)
                out += format[++i];
        }
    }
    return out;
}

TComponent* TStringsPrinter::StartingForm() const
{
    for (TComponent* c = Owner(); c; c = c->Owner())
        if (auto* form = dynamic_cast<TCustomForm*>(c); form && form->HandleAllocated() && form->Visible())
            return form;
    return Application;
}

bool TStringsPrinter::PageWanted(int index) const
{
    return rangeOption_ == roWhole || index + 1 <= lastPage_;
}

bool TStringsPrinter::PageChosen(int index) const
{
    const int number = rangeOption_ == roWhole ? index + firstPageNumber_ : index + firstPageNumber_ - startPage_ + 1;
    if (rangeOption_ == roLimited && (index + 1 < startPage_ || index + 1 > lastPage_))
        return false;
    if (number < 1)
        return false;
    if (pageOption_ == poOdd && number % 2 == 0)
        return false;
    if (pageOption_ == poEven && number % 2 != 0)
        return false;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Layout

namespace
{

// The characters of a line as UTF-16 units (one per character) and their advances on dc.
struct typMeasuredLine
{
    std::wstring text;
    std::vector<int> widths;
    std::vector<int> charStart; // byte offset of each character, and the length at the end
};

void MeasureLine(HDC dc, const AnsiString& line, typMeasuredLine& m)
{
    std::vector<int> none;
    SjisRunToWide(line.c_str(), line.Length(), nullptr, m.text, none);
    const int chars = int(m.text.size());
    m.widths.assign(size_t(chars), 0);
    m.charStart.clear();
    m.charStart.reserve(size_t(chars) + 1);
    for (int i = 0; i < line.Length();)
    {
        m.charStart.push_back(i);
        i += IsSjisLead(line.Byte(i + 1)) && i + 1 < line.Length() ? 2 : 1;
    }
    m.charStart.push_back(line.Length());
    // Measured in chunks: one call gives every advance of a chunk.
    constexpr int kChunk = 4096;
    std::vector<int> dx(kChunk);
    for (int at = 0; at < chars; at += kChunk)
    {
        const int n = std::min(kChunk, chars - at);
        SIZE size{};
        int fit = 0;
        if (!GetTextExtentExPointW(dc, m.text.data() + at, n, 0, &fit, dx.data(), &size))
            continue;
        for (int i = 0; i < n; ++i)
            m.widths[size_t(at + i)] = dx[size_t(i)] - (i ? dx[size_t(i - 1)] : 0);
    }
}
} // namespace

// Where a page begins: the source line being laid out and its first piece on the page, the line
// counter before that line was counted, the page counter, and whether the page began at a break
// (every page but the first: its first piece was already found not to fit on the page before).
struct TStringsPrinter::typPageStart
{
    int line = 0;
    int piece = 0;
    int lineCounter = 0;
    int pageCounter = 0;
    bool atBreak = false;
};

// What a layout does with its pages.
class TStringsPrinter::TPageSink
{
public:
    virtual ~TPageSink() = default;
    // Page index begins at start: where it is drawn, or null when it is only laid out.
    virtual TMetafile* Begin(int index, const typPageStart& start) = 0;
    // The page drawn into page is complete. False stops the layout.
    virtual bool Finished(int index, TMetafile* page) { return true; }
    // Whether a page from index on can be wanted; when not, the layout ends there.
    virtual bool Wanted(int index) { return true; }
};

class TStringsPrinter::TLayout
{
public:
    TLayout(TStringsPrinter& owner, TStrings* strings) : o(owner), strings(strings) {}
    ~TLayout()
    {
        FreeCanvas();
        delete measure;
    }

    // Page, bands, font metrics. False (and the user told) when no character or line fits.
    bool Prepare();
    // Lays every line out from the start, with the progress window: false when the user cancelled
    // or the sink stopped it.
    bool Run(const AnsiString& title, TPageSink& sink);
    // Draws again, into page, the one page that begins at start.
    void DrawPage(const typPageStart& start, TMetafile* page);

private:
    bool Lay(const typPageStart& from, TPageSink* sink, TMetafile* onePage, TFormStrProgress* progress,
             const AnsiString& title);
    void BeginPage(const typPageStart& start, TMetafile* page);
    void FinishPage();
    void FreeCanvas()
    {
        delete canvas;
        canvas = nullptr;
    }
    // The line measured and split, kept for the next page that begins inside it.
    void MeasureAndSplit(int line);
    void DrawHeaderFooter(const AnsiString& text, TStringsPrinterHeaderAlign align, const TRect& band);
    void CalcPageRects();
    void DrawText(const std::wstring& text, TRect r, UINT flags);
    void DrawPiece(const typMeasuredLine& m, size_t first, size_t last, const TRect& r, int tabW);
    void DrawNumber(const std::wstring& number, const TRect& r);
    HDC DC() { return canvas->Handle(); }

    TStringsPrinter& o;
    TStrings* strings;
    TPrinter* printer = Printer();
    // Lines are measured here, with the pages' font and resolution, whether a page is drawn or not.
    TMetafile measureFile;
    TMetafileCanvas* measure = nullptr;
    TMetafileCanvas* canvas = nullptr; // of the page being drawn, if it is
    HDC reference = nullptr;
    int pageW = 0, pageH = 0, fontSize = 0;
    int lineH = 0, charW = 0, spacing = 0, columnGap = 0, lineCount = 0, avail = 0, tabW = 0;
    TRect page, headerRect, footerRect, gutter, text;
    int columnStep = 0, column = 1;
    int measured = -1;
    typMeasuredLine m;
    std::vector<typLinePiece> pieces;
};

bool TStringsPrinter::TLayout::Prepare()
{
    lineCount = strings->GetCount();
    const TRect offset = o.PaperOffset();
    try
    {
        reference = printer->Handle();
        pageW = printer->PageWidth();
        pageH = printer->PageHeight();
    }
    catch (const Exception&)
    {
        return false;
    }
    if (pageW <= 0 || pageH <= 0 || printer->DeviceCaps(LOGPIXELSX) <= 0)
        return false;
    page.Left = std::max(0, o.PrinterDot(o.marginLeft_) - offset.Left);
    page.Top = std::max(0, o.PrinterDot(o.marginTop_) - offset.Top);
    page.Right = std::min(pageW, pageW - o.PrinterDot(o.marginRight_) + offset.Right);
    page.Bottom = std::min(pageH, pageH - o.PrinterDot(o.marginBottom_) + offset.Bottom);
    fontSize = int(std::lround(o.font_->Size() / o.Ratio()));
    measureFile.SetWidth(pageW);
    measureFile.SetHeight(pageH);
    measure = new TMetafileCanvas(&measureFile, reference);
    measure->SetFont(o.font_);
    measure->Font()->SetSize(fontSize);
    TEXTMETRICW tm{};
    GetTextMetricsW(measure->Handle(), &tm);
    lineH = tm.tmHeight + tm.tmExternalLeading;
    charW = tm.tmAveCharWidth;
    if (lineH <= 0 || charW <= 0)
        return false;
    const int band = 3 * lineH / 2;
    const bool header = o.headerAlign_ != haNone && !o.header_.IsEmpty();
    const bool footer = o.footerAlign_ != haNone && !o.footer_.IsEmpty();
    headerRect = TRect(page.Left, page.Top, page.Right, header ? page.Top + band : page.Top);
    footerRect = TRect(page.Left, footer ? page.Bottom - band : page.Bottom, page.Right, page.Bottom);
    spacing = o.PrinterDot(o.marginLine_);
    columnGap = o.PrinterDot(o.columnSpace_);
    CalcPageRects();
    // One character's width and one line's height must fit, or the layout could never progress.
    const int italicLoss = o.font_->Style().Contains(fsItalic) ? charW : 0;
    avail = text.Width() - italicLoss;
    tabW = std::max(0, o.tabSize_) * charW;
    return avail >= charW && footerRect.Top - headerRect.Bottom >= lineH;
}

void TStringsPrinter::TLayout::CalcPageRects()
{
    int gutterW = 0;
    if (o.lineNumber_)
    {
        // Sized for the largest number printed, not for the line count.
        const int largest = o.firstLineNumber_ + std::max(lineCount, 1) - 1;
        gutterW = (AnsiString(largest).Length() + 2) * charW;
    }
    gutter = TRect(page.Left, headerRect.Bottom, page.Left + gutterW, footerRect.Top);
    const int cols = o.columnCount_;
    const int textW = (page.Right - gutter.Right - (columnGap + gutterW) * (cols - 1)) / cols;
    text = TRect(gutter.Right, headerRect.Bottom, gutter.Right + textW, footerRect.Top);
    columnStep = columnGap + gutterW + textW;
    column = 1;
}

void TStringsPrinter::TLayout::BeginPage(const typPageStart& start, TMetafile* target)
{
    o.lineCounter_ = start.lineCounter;
    o.pageCounter_ = start.pageCounter;
    CalcPageRects();
    FreeCanvas();
    if (!target)
        return;
    target->SetWidth(pageW);
    target->SetHeight(pageH);
    canvas = new TMetafileCanvas(target, reference);
    canvas->SetFont(o.font_);
    canvas->Font()->SetSize(fontSize);
    canvas->Brush()->SetStyle(bsClear);
    DrawHeaderFooter(o.header_, o.headerAlign_, headerRect);
}

void TStringsPrinter::TLayout::FinishPage()
{
    if (!canvas)
        return;
    DrawHeaderFooter(o.footer_, o.footerAlign_, footerRect);
    FreeCanvas(); // the recording goes to the page
}

void TStringsPrinter::TLayout::MeasureAndSplit(int line)
{
    if (line == measured)
        return;
    measured = -1;
    const AnsiString s = strings->Get(line);
    MeasureLine(measure->Handle(), s, m);
    SplitLineToWidth(s.c_str(), s.Length(), m.widths.data(), tabW, avail, o.wordBreak_, pieces);
    measured = line;
}

void TStringsPrinter::TLayout::DrawText(const std::wstring& s, TRect r, UINT flags)
{
    RECT rc{r.Left, r.Top, r.Right, r.Bottom};
    DRAWTEXTPARAMS params{};
    params.cbSize = sizeof params;
    params.iTabLength = o.tabSize_;
    DrawTextExW(DC(), const_cast<wchar_t*>(s.c_str()), int(s.size()), &rc, flags, &params);
}

// A piece as a single-line DrawTextEx with expanded tabs would draw it, at the advances it was
// split by: one clipped run per stretch between tabs, each tab reaching the next stop from the
// piece's start. Passing the advances spares the device measuring every run again.
void TStringsPrinter::TLayout::DrawPiece(const typMeasuredLine& m, size_t first, size_t last, const TRect& r,
                                         int tabW)
{
    const RECT clip{r.Left, r.Top, r.Right, r.Bottom};
    HDC dc = DC();
    int x = 0;
    size_t run = first;
    auto flush = [&](size_t end, int runX) {
        if (end > run)
            ExtTextOutW(dc, r.Left + runX, r.Top, ETO_CLIPPED, &clip, m.text.data() + run, UINT(end - run),
                        m.widths.data() + run);
    };
    int runX = 0;
    for (size_t i = first; i < last; ++i)
    {
        if (m.text[i] == L'\t' && tabW > 0)
        {
            flush(i, runX);
            x += tabW - x % tabW;
            run = i + 1;
            runX = x;
            continue;
        }
        x += m.widths[i];
    }
    flush(last, runX);
}

void TStringsPrinter::TLayout::DrawNumber(const std::wstring& number, const TRect& r)
{
    SIZE size{};
    HDC dc = DC();
    GetTextExtentPoint32W(dc, number.c_str(), int(number.size()), &size);
    const RECT clip{r.Left, r.Top, r.Right, r.Bottom};
    ExtTextOutW(dc, r.Right - size.cx, r.Top, ETO_CLIPPED, &clip, number.c_str(), UINT(number.size()), nullptr);
}

void TStringsPrinter::TLayout::DrawHeaderFooter(const AnsiString& format, TStringsPrinterHeaderAlign align,
                                                const TRect& band)
{
    if (align == haNone || format.IsEmpty())
        return;
    const UINT where = align == haLeft ? DT_LEFT : align == haCenter ? DT_CENTER : DT_RIGHT;
    DrawText(SjisToWide(o.ParseHeader(format)), band, DT_SINGLELINE | DT_NOPREFIX | DT_TOP | where);
}

bool TStringsPrinter::TLayout::Run(const AnsiString& title, TPageSink& sink)
{
    typPageStart first;
    first.lineCounter = o.firstLineNumber_ - 1;
    first.pageCounter = o.rangeOption_ == roWhole ? o.firstPageNumber_ : o.firstPageNumber_ - o.startPage_ + 1;
    std::unique_ptr<TFormStrProgress> progress(TFormStrProgress::Execute(o.StartingForm(), title));
    return Lay(first, &sink, nullptr, progress.get(), title);
}

void TStringsPrinter::TLayout::DrawPage(const typPageStart& start, TMetafile* page)
{
    Lay(start, nullptr, page, nullptr, AnsiString());
}

// From the page that begins at from: with a sink, every page to the end (or until the sink wants no
// more), each begun and handed over through it; without one, that page alone, drawn into onePage.
bool TStringsPrinter::TLayout::Lay(const typPageStart& from, TPageSink* sink, TMetafile* onePage,
                                   TFormStrProgress* progress, const AnsiString& title)
{
    int index = 0;
    TMetafile* drawn = sink ? sink->Begin(index, from) : onePage;
    BeginPage(from, drawn);
    bool checkFirst = !from.atBreak;
    for (int i = from.line; i < lineCount; ++i)
    {
        if (progress)
        {
            progress->Progress(title, lineCount - 1, i);
            if (progress->Cancelled())
                return false;
        }
        if (o.lineRangeOption_ == roLimited && (i < o.startLine_ - 1 || i > o.lastLine_ - 1))
            continue;
        ++o.lineCounter_;
        MeasureAndSplit(i);
        const std::wstring number = o.lineNumber_ ? SjisToWide(AnsiString(o.lineCounter_) + ":") : L"";
        size_t k = i == from.line ? size_t(from.piece) : 0;
        // The first character of the piece, found from its byte offset.
        size_t ch =
            size_t(std::lower_bound(m.charStart.begin(), m.charStart.end() - 1, pieces[k].start) - m.charStart.begin());
        for (; k < pieces.size(); ++k)
        {
            const typLinePiece& p = pieces[k];
            if (checkFirst && text.Top + lineH + spacing > footerRect.Top)
            {
                if (column < o.columnCount_)
                {
                    gutter = TRect(gutter.Left + columnStep, headerRect.Bottom, gutter.Right + columnStep,
                                   footerRect.Top);
                    text = TRect(text.Left + columnStep, headerRect.Bottom, text.Right + columnStep, footerRect.Top);
                    ++column;
                }
                else
                {
                    FinishPage();
                    if (!sink)
                        return true;
                    if (drawn && !sink->Finished(index, drawn))
                        return false;
                    ++index;
                    if (!sink->Wanted(index))
                        return true;
                    typPageStart next;
                    next.line = i;
                    next.piece = int(k);
                    next.lineCounter = o.lineCounter_ - 1;
                    next.pageCounter = o.pageCounter_ + 1;
                    next.atBreak = true;
                    drawn = sink->Begin(index, next);
                    BeginPage(next, drawn);
                    o.lineCounter_ = next.lineCounter + 1;
                }
            }
            checkFirst = true;
            const size_t first = ch;
            while (ch < m.charStart.size() - 1 && m.charStart[ch] < p.start + p.length)
                ++ch;
            if (canvas)
            {
                if (o.lineNumber_)
                    DrawNumber(number, gutter);
                DrawPiece(m, first, ch, text, tabW);
            }
            text.Top += lineH + spacing;
            gutter.Top = text.Top;
        }
    }
    FinishPage();
    return !sink || !drawn || sink->Finished(index, drawn);
}

namespace
{
// Marks a layout as running for as long as it lives.
struct TBusy
{
    explicit TBusy(bool& flag) : flag_(flag) { flag_ = true; }
    ~TBusy() { flag_ = false; }
    bool& flag_;
};
} // namespace

bool TStringsPrinter::Prepared(TLayout& layout)
{
    reported_ = false;
    pageCounter_ = 0;
    lineCounter_ = 0;
    if (layout.Prepare())
        return true;
    ErrorBox("%s", msgPrintNoRoom);
    reported_ = true;
    return false;
}

bool TStringsPrinter::DivideStringsToMetaFiles(TStrings* strings, TMetaFileList* list, const AnsiString& title)
{
    // Every page drawn and kept in the list.
    struct TKeep : TPageSink
    {
        TMetaFileList* list;
        explicit TKeep(TMetaFileList* l) : list(l) {}
        TMetafile* Begin(int, const typPageStart&) override { return list->Add(); }
    } keep(list);
    TLayout layout(*this, strings);
    return Prepared(layout) && layout.Run(title, keep);
}

bool TStringsPrinter::PrintStrings(TStrings* strings)
{
    if (busy_)
        return false;
    TBusy busy(busy_);
    // Each chosen page goes to the printer as soon as it is laid out, and is dropped; the others
    // are only laid out.
    struct TPrint : TPageSink
    {
        TStringsPrinter& o;
        TPrinter* printer = Printer();
        TMetafile page;
        bool started = false;
        explicit TPrint(TStringsPrinter& owner) : o(owner) {}
        TMetafile* Begin(int index, const typPageStart&) override { return o.PageChosen(index) ? &page : nullptr; }
        bool Finished(int, TMetafile* drawn) override
        {
            if (!started)
            {
                printer->SetTitle("Varnolet[" + ExtractFileName(o.fileName_) + "]");
                printer->BeginDoc();
                started = true;
            }
            else
                printer->NewPage();
            drawn->Draw(printer->Handle(), TRect(0, 0, printer->PageWidth(), printer->PageHeight()));
            drawn->Clear();
            return true;
        }
        bool Wanted(int index) override { return o.PageWanted(index); }
    } print(*this);
    TLayout layout(*this, strings);
    if (!Prepared(layout))
        return false;
    TPrinter* p = Printer();
    try
    {
        if (!layout.Run("印刷中", print))
        {
            p->Abort();
            return false;
        }
        if (!print.started)
            return false;
        p->EndDoc();
    }
    catch (const Exception& e)
    {
        p->Abort();
        ErrorBox(msgPrintFailed, e.Message.c_str());
        reported_ = true;
        return false;
    }
    return true;
}

namespace
{
// The pages of a preview: where each chosen page begins; the one shown is laid out again when
// asked for, so that no more than it is ever held.
class TLaidOutPages : public TMetaFileList
{
public:
    using TDraw = std::function<void(int index, TMetafile* page)>;
    TLaidOutPages(int count, TDraw draw) : draw_(std::move(draw)) { SetCount(count); }
    TMetafile* GetMetaFile(int index) override
    {
        if (index != shown_)
        {
            shown_ = -1;
            draw_(index, &page_);
            shown_ = index;
        }
        return &page_;
    }

private:
    TDraw draw_;
    TMetafile page_;
    int shown_ = -1;
};
} // namespace

bool TStringsPrinter::PreviewStrings(TStrings* strings)
{
    if (busy_)
        return false;
    TBusy busy(busy_);
    // Only where the chosen pages begin is kept; nothing is drawn until the preview shows it.
    struct TCount : TPageSink
    {
        TStringsPrinter& o;
        std::vector<typPageStart> starts;
        explicit TCount(TStringsPrinter& owner) : o(owner) {}
        TMetafile* Begin(int index, const typPageStart& start) override
        {
            if (o.PageChosen(index))
                starts.push_back(start);
            return nullptr;
        }
        bool Wanted(int index) override { return o.PageWanted(index); }
    } count(*this);
    TLayout layout(*this, strings);
    if (!Prepared(layout) || !layout.Run("プレビューを作成中", count) || count.starts.empty())
        return false;
    TLaidOutPages pages(int(count.starts.size()),
                        [&](int index, TMetafile* page) { layout.DrawPage(count.starts[size_t(index)], page); });
    TFormStrPreview::Execute(this, &pages);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Stored properties

namespace
{
// The published integer-like properties, read and written through the clamping setters.
struct typIntProperty
{
    const char* name;
    int (*get)(const TStringsPrinter&);
    void (*set)(TStringsPrinter&, int);
};

#define VN_INT_PROP(Name)                                                                                    \
    {#Name, [](const TStringsPrinter& p) { return int(p.Name()); },                                          \
     [](TStringsPrinter& p, int v) { p.Set##Name(v); }}
#define VN_ENUM_PROP(Name, Type, Last)                                                                       \
    {#Name, [](const TStringsPrinter& p) { return int(p.Name()); },                                          \
     [](TStringsPrinter& p, int v) { p.Set##Name(Type(std::max(0, std::min(v, int(Last))))); }}
#define VN_BOOL_PROP(Name)                                                                                   \
    {#Name, [](const TStringsPrinter& p) { return int(p.Name()); },                                          \
     [](TStringsPrinter& p, int v) { p.Set##Name(v != 0); }}

const typIntProperty kIntProperties[] = {
    VN_INT_PROP(ColumnCount),
    VN_INT_PROP(ColumnSpace),
    VN_INT_PROP(FirstLineNumber),
    VN_INT_PROP(FirstPageNumber),
    VN_ENUM_PROP(FooterAlign, TStringsPrinterHeaderAlign, haRight),
    VN_ENUM_PROP(HeaderAlign, TStringsPrinterHeaderAlign, haRight),
    VN_INT_PROP(LastLine),
    VN_INT_PROP(LastPage),
    VN_BOOL_PROP(LineNumber),
    VN_ENUM_PROP(LineRangeOption, TStringsPrinterRangeOption, roLimited),
    VN_INT_PROP(MarginBottom),
    VN_INT_PROP(MarginLeft),
    VN_INT_PROP(MarginLine),
    VN_INT_PROP(MarginRight),
    VN_INT_PROP(MarginTop),
    VN_ENUM_PROP(PageOption, TStringsPrinterPageOption, poEven),
    VN_ENUM_PROP(RangeOption, TStringsPrinterRangeOption, roLimited),
    VN_INT_PROP(StartLine),
    VN_INT_PROP(StartPage),
    VN_BOOL_PROP(WordBreak),
    // Its setter takes any value: what is read back is kept to the editor's tab sizes.
    {"TabSize", [](const TStringsPrinter& p) { return p.TabSize(); },
     [](TStringsPrinter& p, int v) { p.SetTabSize(std::max(VN::kTabSizeMin, std::min(v, VN::kTabSizeMax))); }},
    VN_BOOL_PROP(IsEnglish),
};
#undef VN_INT_PROP
#undef VN_ENUM_PROP
#undef VN_BOOL_PROP

typStoredProperty Number(const char* name, int v)
{
    typStoredProperty p;
    p.name = name;
    p.number = v;
    return p;
}

typStoredProperty Text(const char* name, const AnsiString& v)
{
    typStoredProperty p;
    p.name = name;
    p.isText = true;
    p.text = v;
    return p;
}
} // namespace

void TStringsPrinter::GetStoredProperties(std::vector<typStoredProperty>& props)
{
    // A value still at its construction default is not stored (LastLine's 0 could not be set back).
    const TStringsPrinter defaults(nullptr);
    for (const typIntProperty& p : kIntProperties)
        if (p.get(*this) != p.get(defaults))
            props.push_back(Number(p.name, p.get(*this)));
    props.push_back(Text("FileName", fileName_));
    props.push_back(Text("Footer", footer_));
    props.push_back(Text("Header", header_));
    props.push_back(Text("Font.Name", font_->Name()));
    props.push_back(Number("Font.Height", font_->Height()));
    props.push_back(Number("Font.Style", font_->Style().ToInt()));
    props.push_back(Number("Font.Color", font_->Color()));
    props.push_back(Number("Font.Charset", font_->Charset()));
}

void TStringsPrinter::SetStoredProperty(const typStoredProperty& prop)
{
    const AnsiString& n = prop.name;
    if (prop.isText)
    {
        if (n == "FileName")
            fileName_ = prop.text;
        else if (n == "Footer")
            footer_ = prop.text;
        else if (n == "Header")
            header_ = prop.text;
        else if (n == "Font.Name")
            font_->SetName(prop.text);
        return;
    }
    for (const typIntProperty& p : kIntProperties)
        if (n == p.name)
        {
            p.set(*this, prop.number);
            return;
        }
    if (n == "Font.Height")
        font_->SetHeight(prop.number);
    else if (n == "Font.Style")
        font_->SetStyle(TFontStyles::FromInt(prop.number & 0x0F));
    else if (n == "Font.Color")
        font_->SetColor(prop.number);
    else if (n == "Font.Charset")
        font_->SetCharset(TFontCharset(prop.number));
}
