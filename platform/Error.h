// The base of every error the plug-in raises. Errors inside the plug-in
// are exceptions; each host export catches them at its boundary.
#pragma once

#include <stdexcept>
#include <string>

namespace velmaro {

// Messages are UTF-8 text.
class EVelmaroError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  // The error's class name, shown in some error reports.
  virtual const char* ClassName() const noexcept { return "Exception"; }
};

// The settings file could not be written.
class EIniWriteError : public EVelmaroError {
 public:
  using EVelmaroError::EVelmaroError;
  const char* ClassName() const noexcept override { return "EIniFileException"; }
};

}  // namespace velmaro
