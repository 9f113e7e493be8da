// Result<T>: what a step of our own code gives back, either its value or the reason it failed,
// so that a failure cannot be dropped unseen and its reason reaches whoever reports it. Results
// stay inside our code: at the platform's documented interface a failure becomes the documented
// NSError or status.
//
//   Result<std::unique_ptr<Store>> Store::open(const std::string& path)
//   {
//       DV_TRY_ASSIGN(auto db, SqliteDatabase::open(path));
//       DV_TRY(db->exec(kSchema));
//       return std::unique_ptr<Store>(new Store(std::move(db)));
//   }
//
// Reading the value of a failed result (or the reason of a good one) is a broken invariant and
// stops the process (Check.h). A value type, used on one thread at a time.
#pragma once

#include "platform/base/Check.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace dv {

// Why a step failed, in words meant for a log line or an error's description.
class Failure {
public:
    explicit Failure(std::string reason) : m_reason(std::move(reason)) { }
    const std::string& reason() const { return m_reason; }
    // The same failure with what was being done in front of it: "keychain: disk I/O error".
    Failure context(std::string_view what) && { return Failure(std::string(what) + ": " + m_reason); }

private:
    std::string m_reason;
};

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) { }
    Result(Failure failure) : m_state(std::in_place_index<1>, std::move(failure)) { }

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() &
    {
        DV_CHECK(ok());
        return std::get<0>(m_state);
    }
    const T& value() const&
    {
        DV_CHECK(ok());
        return std::get<0>(m_state);
    }
    T&& value() &&
    {
        DV_CHECK(ok());
        return std::get<0>(std::move(m_state));
    }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    // The value, or `fallback` when the step failed and its reason is of no further use.
    T valueOr(T fallback) && { return ok() ? std::get<0>(std::move(m_state)) : std::move(fallback); }

    const std::string& reason() const
    {
        DV_CHECK(!ok());
        return std::get<1>(m_state).reason();
    }
    Failure failure() &&
    {
        DV_CHECK(!ok());
        return std::get<1>(std::move(m_state));
    }

private:
    std::variant<T, Failure> m_state;
};

// A step that gives back nothing but whether it worked: `return {};` is success.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : m_failure(std::move(failure)) { }

    bool ok() const { return !m_failure; }
    explicit operator bool() const { return ok(); }

    const std::string& reason() const
    {
        DV_CHECK(!ok());
        return m_failure->reason();
    }
    Failure failure() &&
    {
        DV_CHECK(!ok());
        return std::move(*m_failure);
    }

private:
    std::optional<Failure> m_failure;
};

} // namespace dv

#define DV_RESULT_CONCAT_INNER(a, b) a##b
#define DV_RESULT_CONCAT(a, b) DV_RESULT_CONCAT_INNER(a, b)

// DV_TRY(expression): runs a step that gives a Result; when it failed, returns its failure from
// the enclosing function (which gives a Result of its own, of any type).
#define DV_TRY(expression) \
    do { \
        auto dvTryResult = (expression); \
        if (!dvTryResult) \
            return std::move(dvTryResult).failure(); \
    } while (0)

// DV_TRY_ASSIGN(declaration, expression): as DV_TRY, and on success moves the value into the
// declaration ("auto db" or an existing variable).
#define DV_TRY_ASSIGN(declaration, expression) \
    DV_TRY_ASSIGN_WITH(DV_RESULT_CONCAT(dvTryResult, __LINE__), declaration, expression)
#define DV_TRY_ASSIGN_WITH(temporary, declaration, expression) \
    auto temporary = (expression); \
    if (!temporary) \
        return std::move(temporary).failure(); \
    declaration = std::move(temporary).value()
