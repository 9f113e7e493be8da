// Small scope helpers, in place of flags and calls paired by hand:
// - ScopeExit runs a function when the scope ends, however it ends (return, exception).
// - TemporaryChange gives a variable a value for the scope and puts the old one back at its end,
//   so that a nested use restores what the outer one set rather than a fixed value.
//
//   UIGraphicsPushContext(context);
//   dv::ScopeExit pop([] { UIGraphicsPopContext(); });
//
//   dv::TemporaryChange reloading(m_reloading, true);
//
// Neither can be copied or moved; each lives on the stack of one thread.
#pragma once

#include <utility>

namespace dv {

template <class Function>
class [[nodiscard]] ScopeExit {
public:
    explicit ScopeExit(Function function) : m_function(std::move(function)) { }
    ~ScopeExit() { m_function(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    Function m_function;
};

template <class T>
class [[nodiscard]] TemporaryChange {
public:
    TemporaryChange(T& variable, T value) : m_variable(variable), m_previous(std::exchange(variable, std::move(value))) { }
    ~TemporaryChange() { m_variable = std::move(m_previous); }
    TemporaryChange(const TemporaryChange&) = delete;
    TemporaryChange& operator=(const TemporaryChange&) = delete;

private:
    T& m_variable;
    T m_previous;
};

} // namespace dv
