// Notification classes of the printing component family: an object that reports its changes
// (held back between BeginUpdate and EndUpdate), a collection that does, a list of change
// handlers, a component that knows a set of file extensions, and the component that stores its
// properties in an INI file or the registry.
#pragma once

#include <vector>

#include "platform/Classes.h"
#include "platform/Component.h"

class TNotifyPersistent : public TPersistent
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

// A collection that reports every change of its items through OnChange, and belongs to an owner.
class TNotifyCollection : public TCollection
{
public:
    TNotifyCollection(TPersistent* owner, TItemClass itemClass) : TCollection(itemClass), owner_(owner) {}

    TNotifyEvent OnChange;

    TPersistent* GetOwner() override { return owner_; }
    void Update(TCollectionItem* item) override;
    // Hung on another object's change event: passes the change on, but not its own.
    virtual void ChangedProc(TObject* sender);

private:
    TPersistent* owner_;
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
    explicit TNotifyEventList(TPersistent* owner) : owner_(owner) {}
    TPersistent* GetOwner() override { return owner_; }
    void Changed() override;
    virtual void Add(const TNotifyEvent& handler) { methods_.Add(handler); }
    virtual void Remove(const TNotifyEvent& handler) { methods_.Remove(handler); }

private:
    TMethodList methods_;
    TPersistent* owner_;
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

// A component with a sorted list of file extensions, each once; descendants fill it in
// InitFileExtList.
class TFileExtComponent : public TStoreComponent
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

    const char* StoredClassName() const override { return "TFileExtComponent"; }
    // The list is stored as its text, one extension a line.
    void GetStoredProperties(std::vector<typStoredProperty>& props) override;
    void SetStoredProperty(const typStoredProperty& prop) override;

private:
    TStringList* list_ = nullptr;
};

// The component's properties in the stored form, at the stream's position.
void ComponentToStream(TStoreComponent* component, TStream* stream);
// Reads the stored form into component: every property is read before any is set, so a damaged
// or foreign stream (EReadError) leaves the component as it was; nothing is freed.
void StreamToComponent(TStream* stream, TStoreComponent* component);

// Holds the stream a stored component is read from while StreamToComponent reads it.
class TComponentReciever : public TObject
{
public:
    explicit TComponentReciever(TStream* stream) : stream_(stream) {}
    TStream* Stream() const { return stream_; }
    // The properties stored for a component of the class named; EReadError when the stream holds
    // another class's or is damaged.
    std::vector<typStoredProperty> ReadProperties(const char* className);

private:
    AnsiString ReadText();
    TStream* stream_;
};
