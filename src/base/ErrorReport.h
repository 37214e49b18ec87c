#pragma once
// The general error handler's entry for what no command caught. Every button
// and timer handler is connected through Guarded(), so an exception ends in
// the handler's box instead of travelling through Qt's signal delivery.

#include <QString>
#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

// The application installs the box that shows these; without one they go to
// the warning log.
void SetUnhandledErrorSink(std::function<void(const QString &)> sink);
void ReportUnhandledError(const QString &text);
void ReportCurrentException(); // call only inside a catch block

// Wraps a handler: connect(button, &QPushButton::clicked, this, Guarded([this] { ... }));
// The handler may take the signal's arguments or none.
template <typename F> auto Guarded(F handler)
{
    return [handler = std::move(handler)](auto &&...args) mutable {
        try {
            if constexpr (std::is_invocable_v<F &, decltype(args)...>)
                handler(std::forward<decltype(args)>(args)...);
            else
                handler();
        } catch (...) {
            ReportCurrentException();
        }
    };
}
