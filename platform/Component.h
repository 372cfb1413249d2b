// Components: ownership, names and the two-phase life cycle every class of the layer follows.
//
// Properties are a getter named as the property and a setter with "Set" (`Name()`, `SetName(v)`);
// events are public closure fields (`OnChange`), so code can detach a handler and restore it.
//
// Two-phase construction. A C++ base constructor runs its own virtuals, not the derived class's. So a
// component whose construction needs an overridable operation (a factory such as `MakeFLine`, a
// handler a derived class replaces) does that work in an `AfterConstruction` override, which
// `Create<T>(...)` runs once the whole object exists; overrides call the inherited one first.
// Likewise `BeforeDestruction` runs, before any destructor, whenever a component is deleted (by
// `delete`, `Free` or its owner), so teardown that needs the full object (closing the window while
// derived handlers still exist) belongs there. Components live on the heap: make them with
// `Create<T>`, free them with `delete` or `Free`.
#pragma once

#include <concepts>
#include <cstddef>
#include <new>
#include <utility>
#include <vector>

#include "System.h"

// GCC still emits deleting destructors for classes with a destroying delete and warns, wrongly,
// that they pair it with a mismatched new; delete expressions never use them.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

enum TOperation { opInsert, opRemove };
// Nothing is streamed or designed here, so only csDestroying is ever set; the others keep the
// callers' tests meaningful.
enum TComponentStateItem { csLoading, csDesigning, csDestroying };
using TComponentState = TSet<TComponentStateItem>;

class TComponent : public TObject
{
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    // Every delete runs BeforeDestruction on the complete object first (C++20 destroying delete).
    // The class's own new and plain delete pair with it (the plain one frees a failed construction).
    static void* operator new(std::size_t size) { return ::operator new(size); }
    void operator delete(TComponent* p, std::destroying_delete_t);
    static void operator delete(void* p) { ::operator delete(p); }

    virtual void AfterConstruction() {}
    virtual void BeforeDestruction();
    // Called by whoever builds the component once all its properties are set.
    virtual void Loaded() {}

    TComponent* Owner() const { return owner_; }
    const AnsiString& Name() const { return name_; }
    void SetName(const AnsiString& name) { name_ = name; }
    int Tag() const { return tag_; }
    void SetTag(int tag) { tag_ = tag; }
    TComponentState ComponentState() const { return state_; }

    int ComponentCount() const { return int(components_.size()); }
    TComponent* Components(int index) const;      // raises EListError out of range
    TComponent* FindComponent(const AnsiString& name) const; // ASCII case-insensitive; null if none

    // Ownership moves: the owner frees what it holds.
    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);

    // Told of components inserted into or removed from this owner; forwards to owned components so
    // siblings can drop references to a component that goes away, and learn of new ones.
    virtual void Notification(TComponent* component, TOperation operation);
    // Asks that component be told (Notification, opRemove) when this one is freed, whoever owns
    // either; the link goes when either is freed.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

private:
    void DestroyComponents();

    TComponent* owner_ = nullptr;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> freeNotifies_; // both ways: whom this one tells, and who tells it
    AnsiString name_;
    int tag_ = 0;
    TComponentState state_;
};

// Constructs T, then runs AfterConstruction on the complete object (see the header comment).
template <class T, class... A>
    requires std::derived_from<T, TComponent>
T* Create(A&&... args)
{
    T* object = new T(std::forward<A>(args)...);
    try
    {
        object->AfterConstruction();
    }
    catch (...)
    {
        delete object;
        throw;
    }
    return object;
}

inline void Free(TComponent* component)
{
    delete component;
}
