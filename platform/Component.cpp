#include "Component.h"

#include <algorithm>

#include "SysUtils.h"

TComponent::TComponent(TComponent* owner)
{
    if (owner)
        owner->InsertComponent(this);
}

TComponent::~TComponent()
{
    state_ << csDestroying;
    // A subclass that skipped BeforeDestruction: at least drop the links (no one is told any more).
    while (!freeNotifies_.empty())
        RemoveFreeNotification(freeNotifies_.back());
    DestroyComponents();
    if (owner_)
        owner_->RemoveComponent(this);
}

void TComponent::operator delete(TComponent* p, std::destroying_delete_t)
{
    void* whole = dynamic_cast<void*>(p);
    try
    {
        p->BeforeDestruction();
    }
    catch (...)
    {
        // The object goes anyway; the caller still learns of the failure.
        p->~TComponent();
        ::operator delete(whole);
        throw;
    }
    p->~TComponent();
    ::operator delete(whole);
}

void TComponent::BeforeDestruction()
{
    state_ << csDestroying;
    // Told while the whole object still exists, so they can look at what it is.
    while (!freeNotifies_.empty())
    {
        TComponent* other = freeNotifies_.back();
        RemoveFreeNotification(other);
        other->Notification(this, opRemove);
    }
}

void TComponent::FreeNotification(TComponent* component)
{
    if (!component || component == this ||
        std::find(freeNotifies_.begin(), freeNotifies_.end(), component) != freeNotifies_.end())
        return;
    freeNotifies_.push_back(component);
    component->freeNotifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component)
{
    std::erase(freeNotifies_, component);
    if (component)
        std::erase(component->freeNotifies_, this);
}

TComponent* TComponent::Components(int index) const
{
    if (index < 0 || index >= int(components_.size()))
        throw EListError("コンポーネントの番号が範囲外です (" + AnsiString(index) + ")");
    return components_[size_t(index)];
}

static bool SameAsciiText(const AnsiString& a, const AnsiString& b)
{
    if (a.Length() != b.Length())
        return false;
    for (int i = 1; i <= a.Length(); ++i)
    {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = char(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = char(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

TComponent* TComponent::FindComponent(const AnsiString& name) const
{
    if (name.IsEmpty())
        return nullptr;
    for (TComponent* c : components_)
        if (SameAsciiText(c->name_, name))
            return c;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* component)
{
    if (component->owner_)
        component->owner_->RemoveComponent(component);
    components_.push_back(component);
    component->owner_ = this;
    Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component)
{
    auto it = std::find(components_.begin(), components_.end(), component);
    if (it == components_.end())
        return;
    Notification(component, opRemove);
    // The notification may have changed the list.
    it = std::find(components_.begin(), components_.end(), component);
    if (it != components_.end())
        components_.erase(it);
    component->owner_ = nullptr;
}

void TComponent::Notification(TComponent* component, TOperation operation)
{
    // Copy: a handler may free components of its own.
    std::vector<TComponent*> owned = components_;
    for (TComponent* c : owned)
        if (c != component && std::find(components_.begin(), components_.end(), c) != components_.end())
            c->Notification(component, operation);
}

void TComponent::DestroyComponents()
{
    // Last first; each is unlinked before it is freed, so its destructor does not call back.
    while (!components_.empty())
    {
        TComponent* c = components_.back();
        components_.pop_back();
        c->owner_ = nullptr;
        delete c;
    }
}
