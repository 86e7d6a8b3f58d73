// The error trap around every export that can fail: errors are exceptions
// inside the plug-in; at the boundary they become the export's failure
// value. With the build switch ShowErrors on, the error is also shown.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace velmaro {

#ifdef VELMARO_SHOW_ERRORS
inline constexpr bool ShowErrors = true;
#else
inline constexpr bool ShowErrors = false;
#endif

// Shows "message\rentry" (only called when ShowErrors is on).
void ShowErrorBox(const std::string& text);

// The text an error report shows for an exception.
std::string ErrorMessageOf(const std::exception_ptr& error);
std::string ErrorClassOf(const std::exception_ptr& error);

inline void ReportTrappedError(const std::exception_ptr& error, const char* entryName) {
  if constexpr (ShowErrors) ShowErrorBox(ErrorMessageOf(error) + "\r" + entryName);
}

// Runs body; any error becomes `failure`, reported under entryName.
template <class R, class F>
R Trapped(const char* entryName, R failure, F&& body) noexcept {
  try {
    return std::forward<F>(body)();
  } catch (...) {
    try {
      ReportTrappedError(std::current_exception(), entryName);
    } catch (...) {
    }
    return failure;
  }
}

}  // namespace velmaro
