#include "printing/heClasses.h"

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

TFileExtComponent::TFileExtComponent(TComponent* owner) : TComponent(owner) {}

TFileExtComponent::~TFileExtComponent()
{
    delete list_;
}

void TFileExtComponent::AfterConstruction()
{
    TComponent::AfterConstruction();
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
