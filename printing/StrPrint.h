// The text-printing component: lays a list of lines out on pages (margins, columns, line-number
// gutter, header and footer with macros, tabs, wrapping), one metafile per page, then prints the
// chosen pages as one job or shows them in the preview window.
#pragma once

#include <vector>

#include "platform/Printers.h"
// After <windows.h>: it undoes the GetObject macro.
#include "platform/Classes.h"
#include "platform/Component.h"
#include "printing/heClasses.h"

enum TStringsPrinterHeaderAlign { haNone, haLeft, haCenter, haRight };
enum TStringsPrinterPageOption { poBoth, poOdd, poEven };
enum TStringsPrinterRangeOption { roWhole, roLimited };

// The pages of one layout, each an owned metafile, in page order. A list may make its pages when
// they are asked for (the preview's): then it owns no slot's page.
class TMetaFileList : public TList
{
public:
    ~TMetaFileList() override { Clear(); }
    TMetafile* Add();
    virtual TMetafile* GetMetaFile(int index) { return static_cast<TMetafile*>(Get(index)); }
    void Clear() override;
    void DeletePage(int index); // frees it
};

struct typPaperItem
{
    AnsiString name;
    int width = 0;  // mm
    int height = 0; // mm
    int id = 0;     // DMPAPER_xxx
};

// The papers the current printer offers.
class TPaperItemList : public TList
{
public:
    ~TPaperItemList() override { Clear(); }
    typPaperItem* Add();
    typPaperItem* GetPaperItem(int index) const { return static_cast<typPaperItem*>(Get(index)); }
    void Clear() override;
    void UpdateList();
};

// The paper names and sizes the platform's paper numbers stand for, 1..68; null for others.
struct typPaperEntry
{
    const char* name;
    int width, height; // mm
};
const typPaperEntry* FallbackPaper(int id);

class TStringsPrinterInfo : public TComponent
{
public:
    explicit TStringsPrinterInfo(TComponent* owner);
    ~TStringsPrinterInfo() override;

    void CheckPrinterIndex();
    AnsiString GetPrinterName();
    int GetPaperIndex();
    AnsiString GetPaperName();
    void GetPaperSize(int& width, int& height);
    TPaperItemList* PaperList() const { return papers_; }

private:
    int builtFor_ = -1;
    TPaperItemList* papers_;
};


// A piece of a source line: bytes [start, start + length).
struct typLinePiece
{
    int start;
    int length;
    friend bool operator==(const typLinePiece&, const typLinePiece&) = default;
};

// Splits bytes into pieces no wider than width. charWidths holds one advance per character (a
// double-byte pair is one character; a lead byte at the very end is a character of its own); a tab
// reaches the next multiple of tabWidth from the piece's start, as it is drawn. A piece holds at
// least one character. With wordBreak, a piece that would end inside a word ends after the last
// space, control character or double-byte character in it, if there is one.
void SplitLineToWidth(const char* bytes, int len, const int* charWidths, int tabWidth, int width, bool wordBreak,
                      std::vector<typLinePiece>& pieces);

class TFormStrProgress;

class TStringsPrinter : public TStoreComponent
{
public:
    explicit TStringsPrinter(TComponent* owner);
    ~TStringsPrinter() override;

    void Assign(const TStringsPrinter& source);

    // Lays every line out into pages appended to list. False when the user cancelled, or the page
    // has no room for one character or line (then the user was told: Reported()).
    virtual bool DivideStringsToMetaFiles(TStrings* strings, TMetaFileList* list, const AnsiString& title);
    virtual AnsiString ParseHeader(const AnsiString& format);
    virtual bool PreviewStrings(TStrings* strings);
    virtual bool PrintStrings(TStrings* strings);

    double Ratio();
    int PrinterDot(double mm);
    TRect PaperOffset();
    // Whether page index (0-based, in layout order) is kept by the range and odd/even choice.
    bool PageChosen(int index) const;
    // True when the last layout, print or preview already told the user why it returned false.
    bool Reported() const { return reported_; }
    // True while a layout runs (Print and Preview are not re-entered).
    bool Busy() const { return busy_; }
    // The shown form this component belongs to (the dialog that prints), else the application:
    // the owner of the progress window.
    TComponent* StartingForm() const;

    int ColumnCount() const { return columnCount_; }
    void SetColumnCount(int v);
    int ColumnSpace() const { return columnSpace_; }
    void SetColumnSpace(int v);
    const AnsiString& FileName() const { return fileName_; }
    void SetFileName(const AnsiString& v) { fileName_ = v; }
    int FirstLineNumber() const { return firstLineNumber_; }
    void SetFirstLineNumber(int v);
    int FirstPageNumber() const { return firstPageNumber_; }
    void SetFirstPageNumber(int v);
    TFont* Font() const { return font_; }
    void SetFont(const TFont* font)
    {
        if (font)
            font_->Assign(*font);
    }
    const AnsiString& Footer() const { return footer_; }
    void SetFooter(const AnsiString& v) { footer_ = v; }
    TStringsPrinterHeaderAlign FooterAlign() const { return footerAlign_; }
    void SetFooterAlign(TStringsPrinterHeaderAlign v) { footerAlign_ = v; }
    const AnsiString& Header() const { return header_; }
    void SetHeader(const AnsiString& v) { header_ = v; }
    TStringsPrinterHeaderAlign HeaderAlign() const { return headerAlign_; }
    void SetHeaderAlign(TStringsPrinterHeaderAlign v) { headerAlign_ = v; }
    int LastLine() const { return lastLine_; }
    void SetLastLine(int v);
    int LastPage() const { return lastPage_; }
    void SetLastPage(int v);
    bool LineNumber() const { return lineNumber_; }
    void SetLineNumber(bool v) { lineNumber_ = v; }
    TStringsPrinterRangeOption LineRangeOption() const { return lineRangeOption_; }
    void SetLineRangeOption(TStringsPrinterRangeOption v) { lineRangeOption_ = v; }
    int MarginBottom() const { return marginBottom_; }
    void SetMarginBottom(int v);
    int MarginLeft() const { return marginLeft_; }
    void SetMarginLeft(int v);
    int MarginLine() const { return marginLine_; }
    void SetMarginLine(int v);
    int MarginRight() const { return marginRight_; }
    void SetMarginRight(int v);
    int MarginTop() const { return marginTop_; }
    void SetMarginTop(int v);
    TStringsPrinterPageOption PageOption() const { return pageOption_; }
    void SetPageOption(TStringsPrinterPageOption v) { pageOption_ = v; }
    TStringsPrinterRangeOption RangeOption() const { return rangeOption_; }
    void SetRangeOption(TStringsPrinterRangeOption v) { rangeOption_ = v; }
    int StartLine() const { return startLine_; }
    void SetStartLine(int v);
    int StartPage() const { return startPage_; }
    void SetStartPage(int v);
    bool WordBreak() const { return wordBreak_; }
    void SetWordBreak(bool v) { wordBreak_ = v; }
    int TabSize() const { return tabSize_; }
    void SetTabSize(int v) { tabSize_ = v; }
    bool IsEnglish() const { return isEnglish_; }
    void SetIsEnglish(bool v) { isEnglish_ = v; }
    TStringsPrinterInfo* PrinterInfo() const { return info_; }

    // The page counter and the line counter of the running layout.
    int PageCounter() const { return pageCounter_; }

    const char* StoredClassName() const override { return "TStringsPrinter"; }
    void GetStoredProperties(std::vector<typStoredProperty>& props) override;
    void SetStoredProperty(const typStoredProperty& prop) override;

private:
    struct typPageStart;
    class TPageSink;
    class TLayout;
    friend class TLayout;
    // Prepares a layout, telling the user when the page has no room.
    bool Prepared(TLayout& layout);
    // Whether the range leaves any page to choose from page index (0-based) on.
    bool PageWanted(int index) const;

    int columnCount_ = 1;
    int columnSpace_ = 4;
    AnsiString fileName_;
    int firstLineNumber_ = 1;
    int firstPageNumber_ = 1;
    TFont* font_;
    AnsiString footer_;
    TStringsPrinterHeaderAlign footerAlign_ = haNone;
    AnsiString header_;
    TStringsPrinterHeaderAlign headerAlign_ = haNone;
    int lastLine_ = 0;
    int lastPage_ = 999999;
    bool lineNumber_ = false;
    TStringsPrinterRangeOption lineRangeOption_ = roWhole;
    int marginBottom_ = 0, marginLeft_ = 0, marginLine_ = 0, marginRight_ = 0, marginTop_ = 0;
    TStringsPrinterPageOption pageOption_ = poBoth;
    TStringsPrinterRangeOption rangeOption_ = roWhole;
    int startLine_ = 1;
    int startPage_ = 1;
    bool wordBreak_ = true;
    int tabSize_ = 8;
    bool isEnglish_ = false;
    TStringsPrinterInfo* info_;

    int pageCounter_ = 0;
    int lineCounter_ = 0;
    bool reported_ = false;
    bool busy_ = false;
};
