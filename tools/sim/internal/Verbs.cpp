#include "tools/sim/internal/Verbs.h"

namespace dv::internal::sim {

const std::vector<VerbSection>& verbSections()
{
    static const std::vector<VerbSection> sections = {
        { "Waiting, looking, pictures", screenVerbs() },
        { "Touching and typing", touchVerbs() },
        { "The application: launch, states, pushes, clock", applicationVerbs() },
        { "Around it: server, network, permissions, camera, stores (also before the launch)", deviceVerbs() },
    };
    return sections;
}

const Verb* findVerb(std::string_view name)
{
    for (const auto& section : verbSections())
        for (const auto& verb : section.verbs)
            if (verb.name == name)
                return &verb;
    return nullptr;
}

std::string usageOf(const Verb& verb)
{
    std::string usage = verb.name;
    for (std::size_t i = 0; i < verb.arguments.size(); ++i) {
        const auto& argument = verb.arguments[i];
        std::string name = argument.name;
        // A few choices are named in the usage; a long list is the help's to tell.
        if (argument.kind == ArgumentKind::Choice && argument.choices.size() <= 4) {
            name.clear();
            for (const auto& choice : argument.choices)
                name += (name.empty() ? "" : "|") + choice;
        }
        usage += i < verb.required ? " " + name : " [" + name + "]";
    }
    return usage;
}

} // namespace dv::internal::sim
