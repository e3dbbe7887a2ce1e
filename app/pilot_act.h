// How the pilot lets time pass, whoever runs the simulation. Every procedure
// of the pilot that waits is a coroutine (an Act); waiting suspends it
// together with every Act that called it and hands the wait to whoever
// drives the pilot: the program's flight steps the host for it in one go,
// the browser's playground between two animation frames, so both fly the
// same pilot. Telling what it has just done (a Moment) suspends it the same
// way, so that the driver can watch, take pictures, or end the hop there.
#pragma once

#include <exception>
#include <optional>
#include <type_traits>
#include <utility>
// The browser build's standard library (Emscripten's libc++ 14) has the
// coroutine support only under its Technical Specification name.
#if __has_include(<coroutine>)
#include <coroutine>
namespace lobarc::coro {
using std::coroutine_handle;
using std::suspend_always;
}  // namespace lobarc::coro
#else
#include <experimental/coroutine>
namespace lobarc::coro {
using std::experimental::coroutine_handle;
using std::experimental::suspend_always;
}  // namespace lobarc::coro
#endif

namespace lobarc {

// What the pilot has just done, as it tells its driver.
enum class Moment {
  kTargetSet,   // target entered (or found entered) and engine chosen
  kPlanRead,    // the launch plan read on the pad
  kLaunching,   // at the launch attitude, engine lit
  kMeco,        // engine off at the display's cut-off
  kSwitched,    // the display in flight mode
  kPage1,       // page 1/2 seen once in flight mode
  kSettled,     // page 2/2 up and its answer settled
  kLooked,      // one look at page 2/2 while coasting
  kCorrecting,  // a correction burn begins
  kCorrected,   // the correction burn is over
  kCoasting,    // between two looks while coasting
};

// What a suspended Act hands its driver: time to let pass, or a moment.
struct Beat {
  double wait_s = 0;  // [s] when no moment
  std::optional<Moment> moment;
};

template <class T = void>
class Act;

namespace act_detail {

// Shared by every Act of one run: the Act to resume next, and the beat
// the run stopped at. Acts hand control back to the run's loop rather than
// to each other, so the chain never grows the stack (and needs no tail
// calls, which WebAssembly may lack).
struct Driver {
  Beat beat;
  bool stopped = false;             // at a beat: the run gives control back
  coro::coroutine_handle<> resume;  // none once the first Act has finished
};

struct PromiseBase {
  Driver* driver = nullptr;
  coro::coroutine_handle<> caller;  // the Act awaiting this one; none for the first
  std::exception_ptr error;

  coro::suspend_always initial_suspend() noexcept { return {}; }
  struct Final {
    bool await_ready() noexcept { return false; }
    template <class P>
    void await_suspend(coro::coroutine_handle<P> h) noexcept {
      h.promise().driver->resume = h.promise().caller;
    }
    void await_resume() noexcept {}
  };
  Final final_suspend() noexcept { return {}; }
  void unhandled_exception() { error = std::current_exception(); }
};

template <class T>
struct Promise : PromiseBase {
  std::optional<T> value;
  Act<T> get_return_object();
  void return_value(T v) { value = std::move(v); }
};

template <>
struct Promise<void> : PromiseBase {
  Act<void> get_return_object();
  void return_void() {}
};

// Suspends the whole chain of Acts with a beat for the driver.
struct Suspend {
  Beat beat;
  bool await_ready() const noexcept { return false; }
  template <class P>
  void await_suspend(coro::coroutine_handle<P> h) noexcept {
    h.promise().driver->beat = beat;
    h.promise().driver->stopped = true;
    h.promise().driver->resume = h;
  }
  void await_resume() const noexcept {}
};

}  // namespace act_detail

// Inside an Act: let dt_s pass, or tell the driver a moment.
inline act_detail::Suspend letPass(double dt_s) { return {Beat{dt_s, std::nullopt}}; }
inline act_detail::Suspend tell(Moment m) { return {Beat{0, m}}; }

template <class T>
class [[nodiscard]] Act {
 public:
  using promise_type = act_detail::Promise<T>;
  using Handle = coro::coroutine_handle<promise_type>;

  explicit Act(Handle h) : h_(h) {}
  Act(Act&& o) noexcept : h_(std::exchange(o.h_, {})) {}
  Act(const Act&) = delete;
  Act& operator=(const Act&) = delete;
  Act& operator=(Act&&) = delete;
  ~Act() {
    if (h_) h_.destroy();
  }

  // Awaited by another Act: runs under the same driver, and what it throws
  // comes out where it was awaited.
  bool await_ready() const noexcept { return false; }
  template <class P>
  void await_suspend(coro::coroutine_handle<P> caller) noexcept {
    h_.promise().driver = caller.promise().driver;
    h_.promise().caller = caller;
    h_.promise().driver->resume = h_;
  }
  T await_resume() {
    if (h_.promise().error) std::rethrow_exception(h_.promise().error);
    if constexpr (!std::is_void_v<T>) return std::move(*h_.promise().value);
  }

 private:
  friend class ActRun;
  Handle h_;
};

template <class T>
Act<T> act_detail::Promise<T>::get_return_object() {
  return Act<T>(Act<T>::Handle::from_promise(*this));
}
inline Act<void> act_detail::Promise<void>::get_return_object() {
  return Act<void>(Act<void>::Handle::from_promise(*this));
}

// Drives one Act from beat to beat. Dropping it (or the run) mid-way ends
// the Act where it stands.
class ActRun {
 public:
  explicit ActRun(Act<> act) : act_(std::move(act)) {
    act_.h_.promise().driver = &driver_;
    driver_.resume = act_.h_;
  }
  ActRun(const ActRun&) = delete;
  ActRun& operator=(const ActRun&) = delete;

  // Runs the Act on to its next beat; none once it has finished. What the
  // Act threw comes out here.
  std::optional<Beat> next() {
    driver_.stopped = false;
    while (!driver_.stopped && driver_.resume) std::exchange(driver_.resume, {}).resume();
    if (driver_.stopped) return driver_.beat;
    if (act_.h_.promise().error) std::rethrow_exception(std::exchange(act_.h_.promise().error, {}));
    return std::nullopt;
  }
  bool finished() const { return act_.h_.done(); }

 private:
  act_detail::Driver driver_;
  Act<> act_;
};

}  // namespace lobarc
