#include "platform/ui/UIAppearance.h"

#include "platform/base/Runtime.h"
#include "platform/base/Scope.h"

#include <algorithm>
#include <memory>

namespace dv::internal::uikit {

struct AppearanceRule {
    Class cls = Nil;
    std::vector<Class> containers; // nearest first
    Ref<NSObject> proxy;
    std::vector<std::pair<std::string, std::function<void(NSObject&)>>> setters;
    std::size_t order = 0;
};

namespace {

std::vector<std::unique_ptr<AppearanceRule>>& rules()
{
    static std::vector<std::unique_ptr<AppearanceRule>> s_rules;
    return s_rules;
}

std::size_t classDepth(Class cls)
{
    std::size_t depth = 0;
    for (Class c = cls; c; c = c->superclass())
        ++depth;
    return depth;
}

bool isKind(const NSObject& object, Class cls) { return object.getClass()->isSubclassOfClass(cls); }

// Each container class must be met along the chain, in order, each beyond the previous one.
bool containersMatch(const std::vector<Class>& wanted, const std::vector<const NSObject*>& chain)
{
    std::size_t position = 0;
    for (Class cls : wanted) {
        while (position < chain.size() && !isKind(*chain[position], cls))
            ++position;
        if (position == chain.size())
            return false;
        ++position;
    }
    return true;
}

} // namespace

Ref<NSObject> appearanceProxyFor(Class cls, std::vector<Class> containers, const std::function<Ref<NSObject>()>& make)
{
    auto& all = rules();
    for (auto& rule : all)
        if (rule->cls == cls && rule->containers == containers)
            return rule->proxy;
    auto rule = std::make_unique<AppearanceRule>();
    rule->cls = cls;
    rule->containers = std::move(containers);
    rule->proxy = make();
    rule->order = all.size();
    if (auto* target = dynamic_cast<UIAppearance*>(rule->proxy.get()))
        target->m_rule = rule.get();
    all.push_back(std::move(rule));
    return all.back()->proxy;
}

} // namespace dv::internal::uikit

void UIAppearance::recordSetter(std::string key, std::function<void(NSObject&)> apply)
{
    auto& setters = m_rule->setters;
    auto it = std::find_if(setters.begin(), setters.end(), [&](auto& s) { return s.first == key; });
    if (it != setters.end())
        it->second = std::move(apply);
    else
        setters.emplace_back(std::move(key), std::move(apply));
}

void UIAppearance::noteAppearanceSetterCalled(std::string_view key)
{
    if (m_appearanceApplied || m_applyingAppearance || m_rule)
        return;
    if (std::find(m_explicitKeys.begin(), m_explicitKeys.end(), key) == m_explicitKeys.end())
        m_explicitKeys.emplace_back(key);
}

void UIAppearance::applyAppearance(NSObject& self, const std::vector<const NSObject*>& containers)
{
    if (m_appearanceApplied || m_rule)
        return;
    m_appearanceApplied = true;
    auto& all = dv::internal::uikit::rules();
    if (all.empty()) {
        m_explicitKeys.clear();
        return;
    }
    std::vector<dv::internal::uikit::AppearanceRule*> matching;
    for (auto& rule : all)
        if (dv::internal::uikit::isKind(self, rule->cls) && dv::internal::uikit::containersMatch(rule->containers, containers))
            matching.push_back(rule.get());
    std::sort(matching.begin(), matching.end(), [](auto* a, auto* b) {
        auto da = dv::internal::uikit::classDepth(a->cls), db = dv::internal::uikit::classDepth(b->cls);
        if (da != db)
            return da < db;
        if (a->containers.size() != b->containers.size())
            return a->containers.size() < b->containers.size();
        return a->order < b->order;
    });
    {
        dv::TemporaryChange applying(m_applyingAppearance, true);
        for (auto* rule : matching) {
            // A copy: a setter may record on another proxy and grow the list.
            auto setters = rule->setters;
            for (auto& [key, apply] : setters)
                if (std::find(m_explicitKeys.begin(), m_explicitKeys.end(), key) == m_explicitKeys.end())
                    apply(self);
        }
    }
    m_explicitKeys.clear();
}

void dv::removeAllAppearanceRules()
{
    for (auto& rule : dv::internal::uikit::rules())
        if (auto* target = dynamic_cast<UIAppearance*>(rule->proxy.get()))
            target->m_rule = nullptr;
    dv::internal::uikit::rules().clear();
}
