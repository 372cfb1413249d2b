#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Component.h"
#include "platform/SysUtils.h"

namespace
{

// Records its life and what it is told into a shared log.
class TProbe : public TComponent
{
public:
    TProbe(TComponent* owner, const char* name, std::vector<std::string>* log) : TComponent(owner), log_(log)
    {
        SetName(name);
    }
    ~TProbe() override { log_->push_back("~" + Name().str()); }
    void Notification(TComponent* component, TOperation operation) override
    {
        if (operation == opRemove)
            log_->push_back(Name().str() + " told " + component->Name().str() + " left");
        TComponent::Notification(component, operation);
    }

private:
    std::vector<std::string>* log_;
};

TEST(TComponent, OwnerFreesWhatItOwnsLastFirst)
{
    std::vector<std::string> log;
    auto* owner = Create<TProbe>(nullptr, "owner", &log);
    Create<TProbe>(owner, "a", &log);
    Create<TProbe>(owner, "b", &log);
    ASSERT_EQ(owner->ComponentCount(), 2);
    delete owner;
    EXPECT_EQ(log, (std::vector<std::string>{"~owner", "~b", "~a"}));
}

TEST(TComponent, FreedComponentLeavesItsOwnerAndItsSiblingsAreTold)
{
    std::vector<std::string> log;
    auto* owner = Create<TProbe>(nullptr, "owner", &log);
    auto* a = Create<TProbe>(owner, "a", &log);
    Create<TProbe>(owner, "b", &log);
    Free(a);
    EXPECT_EQ(owner->ComponentCount(), 1);
    EXPECT_EQ(owner->Components(0)->Name(), "b");
    EXPECT_EQ(log, (std::vector<std::string>{"~a", "owner told a left", "b told a left"}));
    delete owner;
}

TEST(TComponent, InsertComponentMovesOwnership)
{
    std::vector<std::string> log;
    auto* first = Create<TProbe>(nullptr, "first", &log);
    auto* second = Create<TProbe>(nullptr, "second", &log);
    auto* child = Create<TProbe>(first, "child", &log);
    second->InsertComponent(child);
    EXPECT_EQ(first->ComponentCount(), 0);
    EXPECT_EQ(child->Owner(), second);
    delete first;
    EXPECT_EQ(second->ComponentCount(), 1);
    delete second;
    EXPECT_EQ(log.back(), "~child");
}

TEST(TComponent, FindComponentIgnoresAsciiCaseAndComponentsChecksTheIndex)
{
    std::vector<std::string> log;
    auto* owner = Create<TProbe>(nullptr, "owner", &log);
    auto* edit = Create<TProbe>(owner, "SrchEdit", &log);
    struct Case
    {
        const char* name;
        TComponent* expected;
    } cases[] = {{"SrchEdit", edit}, {"srchedit", edit}, {"SRCHEDIT", edit}, {"Srch", nullptr}, {"", nullptr}};
    for (const Case& c : cases)
        EXPECT_EQ(owner->FindComponent(c.name), c.expected) << c.name;
    EXPECT_THROW(owner->Components(1), EListError);
    EXPECT_THROW(owner->Components(-1), EListError);
    delete owner;
}

// The editor's pattern: the base constructor cannot reach the derived factory, AfterConstruction can.
class TStore
{
public:
    virtual ~TStore() = default;
    virtual const char* Kind() const { return "base store"; }
};

class TDerivedStore : public TStore
{
public:
    const char* Kind() const override { return "derived store"; }
};

class TBaseEditor : public TComponent
{
public:
    explicit TBaseEditor(TComponent* owner) : TComponent(owner) { seenInConstructor = MakeStoreKind(); }
    ~TBaseEditor() override { delete store; }
    void AfterConstruction() override
    {
        TComponent::AfterConstruction();
        store = MakeStore();
    }
    void BeforeDestruction() override
    {
        seenBeforeDestruction->push_back(MakeStoreKind());
        TComponent::BeforeDestruction();
    }
    virtual TStore* MakeStore() { return new TStore; }
    virtual std::string MakeStoreKind() { return "base"; }

    std::string seenInConstructor;
    TStore* store = nullptr;
    std::vector<std::string>* seenBeforeDestruction = nullptr;
};

class TDerivedEditor : public TBaseEditor
{
public:
    using TBaseEditor::TBaseEditor;
    TStore* MakeStore() override { return new TDerivedStore; }
    std::string MakeStoreKind() override { return "derived"; }
};

TEST(TwoPhaseConstruction, AfterConstructionReachesTheDerivedFactory)
{
    auto* base = Create<TBaseEditor>(nullptr);
    auto* derived = Create<TDerivedEditor>(nullptr);
    EXPECT_STREQ(base->store->Kind(), "base store");
    EXPECT_STREQ(derived->store->Kind(), "derived store");
    EXPECT_EQ(derived->seenInConstructor, "base"); // why the factory cannot run in the constructor
    std::vector<std::string> seen;
    base->seenBeforeDestruction = &seen;
    derived->seenBeforeDestruction = &seen;
    delete base;
    delete derived;
    EXPECT_EQ(seen, (std::vector<std::string>{"base", "derived"}));
}

TEST(TwoPhaseConstruction, EveryWayOfFreeingRunsBeforeDestructionOnTheWholeObject)
{
    std::vector<std::string> seen;
    auto make = [&](TComponent* owner) {
        auto* e = Create<TDerivedEditor>(owner);
        e->seenBeforeDestruction = &seen;
        return e;
    };
    TComponent* viaBasePointer = make(nullptr);
    delete viaBasePointer;
    Free(make(nullptr));
    auto* owner = Create<TComponent>(nullptr);
    make(owner);
    delete owner;
    EXPECT_EQ(seen, (std::vector<std::string>{"derived", "derived", "derived"}));
}

class TFailingAfterConstruction : public TComponent
{
public:
    TFailingAfterConstruction(TComponent* owner, bool* destroyed) : TComponent(owner), destroyed_(destroyed) {}
    ~TFailingAfterConstruction() override { *destroyed_ = true; }
    void AfterConstruction() override { throw EInvalidOperation("no"); }

private:
    bool* destroyed_;
};

TEST(TwoPhaseConstruction, CreateFreesTheObjectWhenAfterConstructionThrows)
{
    bool destroyed = false;
    auto* owner = Create<TComponent>(nullptr);
    EXPECT_THROW(Create<TFailingAfterConstruction>(owner, &destroyed), EInvalidOperation);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(owner->ComponentCount(), 0);
    delete owner;
}

// Closures: code detaches a handler and restores exactly the one it took.
class THandlers : public TObject
{
public:
    void First(TObject*) { calls.push_back("first"); }
    void Second(TObject*) { calls.push_back("second"); }
    std::vector<std::string> calls;
};

TEST(Closure, ComparesByObjectAndMethod)
{
    THandlers a, b;
    TNotifyEvent aFirst(&a, &THandlers::First);
    struct Case
    {
        TNotifyEvent other;
        bool equal;
        const char* what;
    } cases[] = {
        {TNotifyEvent(&a, &THandlers::First), true, "same object and method"},
        {TNotifyEvent(&a, &THandlers::Second), false, "other method"},
        {TNotifyEvent(&b, &THandlers::First), false, "other object"},
        {TNotifyEvent(), false, "empty"},
        {nullptr, false, "null"},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(aFirst == c.other, c.equal) << c.what;
        EXPECT_EQ(aFirst != c.other, !c.equal) << c.what;
    }
    EXPECT_TRUE(TNotifyEvent() == TNotifyEvent(nullptr));
}

TEST(Closure, DetachedHandlerRestoresExactly)
{
    THandlers h;
    TNotifyEvent onChange(&h, &THandlers::Second);
    TNotifyEvent saved = onChange;
    onChange = nullptr;
    EXPECT_FALSE(onChange);
    onChange = saved;
    ASSERT_TRUE(onChange);
    onChange(nullptr);
    EXPECT_EQ(h.calls, (std::vector<std::string>{"second"}));
    EXPECT_TRUE(onChange == TNotifyEvent(&h, &THandlers::Second));
}

} // namespace
