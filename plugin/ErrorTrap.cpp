#include "plugin/ErrorTrap.h"

#include <cstdio>

#include "platform/Error.h"

namespace velmaro {

void ShowErrorBox(const std::string& text) {
  // Shown on the standard error stream until a dialog toolkit is in place.
  std::fprintf(stderr, "Velmaro error: %s\n", text.c_str());
}

std::string ErrorMessageOf(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

std::string ErrorClassOf(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const EVelmaroError& e) {
    return e.ClassName();
  } catch (...) {
    return "Exception";
  }
}

}  // namespace velmaro
