#include "printing/heClasses.h"

#include <cstring>

#include "printing/Hstreamutils.h"

void TNotifyPersistent::Changed()
{
    if (updateCount_ == 0 && OnChange)
        OnChange(this);
}

void TNotifyPersistent::EndUpdate()
{
    if (updateCount_ > 0)
        --updateCount_;
    Changed();
}

void TNotifyPersistent::ChangedProc(TObject* sender)
{
    if (sender != this)
        Changed();
}

void TNotifyCollection::Update(TCollectionItem*)
{
    if (OnChange)
        OnChange(this);
}

void TNotifyCollection::ChangedProc(TObject* sender)
{
    if (sender != this)
        Changed();
}

void TMethodList::Remove(const TNotifyEvent& method)
{
    for (size_t i = methods_.size(); i-- > 0;)
        if (methods_[i] == method)
        {
            methods_.erase(methods_.begin() + std::ptrdiff_t(i));
            return;
        }
}

void TNotifyEventList::Changed()
{
    if (UpdateCount() != 0)
        return;
    // A handler may add or remove handlers: call the ones there were.
    std::vector<TNotifyEvent> handlers;
    for (int i = 0; i < methods_.Count(); ++i)
        handlers.push_back(methods_.Items(i));
    for (const TNotifyEvent& h : handlers)
        if (h)
            h(owner_);
}

TFileExtComponent::TFileExtComponent(TComponent* owner) : TStoreComponent(owner) {}

TFileExtComponent::~TFileExtComponent()
{
    delete list_;
}

void TFileExtComponent::AfterConstruction()
{
    TStoreComponent::AfterConstruction();
    list_ = CreateSortedList();
    InitFileExtList();
}

TStringList* TFileExtComponent::CreateSortedList()
{
    auto* list = new TStringList;
    list->SetSorted(true);
    list->SetDuplicates(dupIgnore);
    return list;
}

void TFileExtComponent::SetFileExtList(TStrings* list)
{
    list_->Clear();
    for (int i = 0; i < list->GetCount(); ++i)
        list_->Add(list->Get(i));
}

bool TFileExtComponent::HasExt(const AnsiString& ext)
{
    int index = 0;
    return list_->Find(ext, index);
}

void TFileExtComponent::GetStoredProperties(std::vector<typStoredProperty>& props)
{
    typStoredProperty p;
    p.name = "FileExtList";
    p.isText = true;
    p.text = list_->GetText();
    props.push_back(p);
}

void TFileExtComponent::SetStoredProperty(const typStoredProperty& prop)
{
    if (prop.isText && prop.name == "FileExtList")
        list_->SetText(prop.text);
}

// ---------------------------------------------------------------------------------------------
// Stored properties

namespace
{
constexpr char kSignature[4] = {'T', 'P', 'F', '0'};
constexpr unsigned char kNumber = 'I';
constexpr unsigned char kText = 'S';
// A text longer than this is taken for damage.
constexpr int kMaxStoredText = 1 << 20;

void WriteText(TStream* s, const AnsiString& text)
{
    const int32_t n = text.Length();
    s->WriteBuffer(&n, 4);
    if (n)
        s->WriteBuffer(text.c_str(), n);
}
} // namespace

void ComponentToStream(TStoreComponent* component, TStream* stream)
{
    std::vector<typStoredProperty> props;
    component->GetStoredProperties(props);
    stream->WriteBuffer(kSignature, 4);
    WriteText(stream, component->StoredClassName());
    WriteText(stream, component->Name());
    for (const typStoredProperty& p : props)
    {
        WriteText(stream, p.name);
        const unsigned char kind = p.isText ? kText : kNumber;
        stream->WriteBuffer(&kind, 1);
        if (p.isText)
            WriteText(stream, p.text);
        else
        {
            const int32_t v = p.number;
            stream->WriteBuffer(&v, 4);
        }
    }
    WriteText(stream, AnsiString());
}

AnsiString TComponentReciever::ReadText()
{
    int32_t n = 0;
    stream_->ReadBuffer(&n, 4);
    if (n < 0 || n > kMaxStoredText)
        throw EReadError("保存された設定が壊れています。");
    AnsiString text;
    text.SetLength(n);
    if (n)
        stream_->ReadBuffer(text.Unique(), n);
    return text;
}

std::vector<typStoredProperty> TComponentReciever::ReadProperties(const char* className)
{
    try
    {
        char signature[4];
        stream_->ReadBuffer(signature, 4);
        if (memcmp(signature, kSignature, 4) != 0 || ReadText() != className)
            throw EReadError("保存された設定の形式が違います。");
        ReadText(); // the stored component's name is not taken over
        std::vector<typStoredProperty> props;
        for (AnsiString name = ReadText(); !name.IsEmpty(); name = ReadText())
        {
            typStoredProperty p;
            p.name = name;
            unsigned char kind = 0;
            stream_->ReadBuffer(&kind, 1);
            if (kind == kText)
            {
                p.isText = true;
                p.text = ReadText();
            }
            else if (kind == kNumber)
            {
                int32_t v = 0;
                stream_->ReadBuffer(&v, 4);
                p.number = v;
            }
            else
                throw EReadError("保存された設定が壊れています。");
            props.push_back(p);
        }
        return props;
    }
    catch (const EReadError&)
    {
        throw;
    }
    catch (const EStreamError& e)
    {
        throw EReadError(e.Message);
    }
}

void StreamToComponent(TStream* stream, TStoreComponent* component)
{
    TComponentReciever reciever(stream);
    for (const typStoredProperty& p : reciever.ReadProperties(component->StoredClassName()))
        component->SetStoredProperty(p);
}

void TStoreComponent::WriteIni(const AnsiString& fileName, const AnsiString& section, const AnsiString& ident)
{
    TMemoryStream m;
    ComponentToStream(this, &m);
    m.Seek(0, soFromBeginning);
    IniWriteStream(&m, fileName, section, ident);
}

void TStoreComponent::ReadIni(const AnsiString& fileName, const AnsiString& section, const AnsiString& ident)
{
    TMemoryStream m;
    IniReadStream(&m, fileName, section, ident);
    if (m.GetSize() == 0)
        return;
    m.Seek(0, soFromBeginning);
    StreamToComponent(&m, this);
}

void TStoreComponent::WriteReg(const AnsiString& key, const AnsiString& section, const AnsiString& ident)
{
    TMemoryStream m;
    ComponentToStream(this, &m);
    m.Seek(0, soFromBeginning);
    RegWriteStream(&m, key, section, ident);
}

void TStoreComponent::ReadReg(const AnsiString& key, const AnsiString& section, const AnsiString& ident)
{
    TMemoryStream m;
    RegReadStream(&m, key, section, ident);
    if (m.GetSize() == 0)
        return;
    m.Seek(0, soFromBeginning);
    StreamToComponent(&m, this);
}
