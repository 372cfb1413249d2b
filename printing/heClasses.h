// Notification classes of the printing component family: an object that reports its changes
// (held back between BeginUpdate and EndUpdate), a list of change handlers, and a component that
// knows a set of file extensions.
#pragma once

#include <vector>

#include "platform/Classes.h"
#include "platform/Component.h"

class TNotifyPersistent : public TObject
{
public:
    TNotifyEvent OnChange;

    virtual void Changed();
    virtual void BeginUpdate() { ++updateCount_; }
    virtual void EndUpdate();
    // Hung on another object's change event: passes the change on, but not its own.
    virtual void ChangedProc(TObject* sender);
    int UpdateCount() const { return updateCount_; }

private:
    int updateCount_ = 0;
};

// Change handlers, called in the order they were added.
class TMethodList : public TObject
{
public:
    void Add(const TNotifyEvent& method) { methods_.push_back(method); }
    // Removes the last one equal in object and method.
    void Remove(const TNotifyEvent& method);
    void Clear() { methods_.clear(); }
    int Count() const { return int(methods_.size()); }
    const TNotifyEvent& Items(int index) const { return methods_.at(size_t(index)); }

private:
    std::vector<TNotifyEvent> methods_;
};

// Calls every handler with the owner as the sender when it changes.
class TNotifyEventList : public TNotifyPersistent
{
public:
    explicit TNotifyEventList(TObject* owner) : owner_(owner) {}
    TObject* GetOwner() const { return owner_; }
    void Changed() override;
    virtual void Add(const TNotifyEvent& handler) { methods_.Add(handler); }
    virtual void Remove(const TNotifyEvent& handler) { methods_.Remove(handler); }

private:
    TMethodList methods_;
    TObject* owner_;
};

// A component with a sorted list of file extensions, each once; descendants fill it in
// InitFileExtList.
class TFileExtComponent : public TComponent
{
public:
    explicit TFileExtComponent(TComponent* owner);
    ~TFileExtComponent() override;
    void AfterConstruction() override;

    TStringList* FileExtList() const { return list_; }
    virtual TStringList* CreateSortedList();
    virtual void InitFileExtList() {}
    virtual void SetFileExtList(TStrings* list);
    virtual bool HasExt(const AnsiString& ext);

private:
    TStringList* list_ = nullptr;
};

// One published property as it is stored: an integer (enumerations and sets by their number, a
// Boolean as 0 or 1) or a text.
struct typStoredProperty
{
    AnsiString name;
    bool isText = false;
    int number = 0;
    AnsiString text;
};

// A component that can save its properties into an INI file or the registry and read them back.
// The stored form is self-describing: a signature, the class and component names, then each
// property by name with its kind and value, and an empty name at the end.
class TStoreComponent : public TComponent
{
public:
    using TComponent::TComponent;

    void WriteIni(const AnsiString& fileName, const AnsiString& section, const AnsiString& ident);
    void ReadIni(const AnsiString& fileName, const AnsiString& section, const AnsiString& ident);
    void WriteReg(const AnsiString& key, const AnsiString& section, const AnsiString& ident);
    void ReadReg(const AnsiString& key, const AnsiString& section, const AnsiString& ident);

    virtual const char* StoredClassName() const { return "TStoreComponent"; }
    virtual void GetStoredProperties(std::vector<typStoredProperty>& props) {}
    // Properties it does not know are passed over.
    virtual void SetStoredProperty(const typStoredProperty& prop) {}
};

// The component's properties in the stored form, at the stream's position.
void ComponentToStream(TStoreComponent* component, TStream* stream);
// Reads the stored form into component: every property is read before any is set, so a damaged
// or foreign stream (EReadError) leaves the component as it was; nothing is freed.
void StreamToComponent(TStream* stream, TStoreComponent* component);
