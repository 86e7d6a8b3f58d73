// Errors raised by the database layer. Messages are fixed texts that the
// error reports show as they are.
#pragma once

#include <string>

#include "platform/Error.h"

namespace velmaro {

// A misuse of the layer or a missing object ("Cannot perform this
// operation on a closed database", "Field '%s' not found", ...).
class EDatabaseError : public EVelmaroError {
 public:
  using EVelmaroError::EVelmaroError;
  const char* ClassName() const noexcept override { return "EDatabaseError"; }
};

// An SQLite result code: "SQLite3 Error %d - %s", or "SQLite3 Error %d"
// when there is no connection to ask for the text.
class ESQLite3 : public EVelmaroError {
 public:
  ESQLite3(int code, const std::string& message);
  int ErrorCode() const noexcept { return FErrorCode; }
  const char* ClassName() const noexcept override { return "ESQLite3"; }

 private:
  int FErrorCode;
};

// The database file cannot be opened ("Cannot open file %s").
class EFOpenError : public EVelmaroError {
 public:
  using EVelmaroError::EVelmaroError;
  const char* ClassName() const noexcept override { return "EFOpenError"; }
};

// The database file cannot be created ("Cannot create file %s").
class EFCreateError : public EVelmaroError {
 public:
  using EVelmaroError::EVelmaroError;
  const char* ClassName() const noexcept override { return "EFCreateError"; }
};

}  // namespace velmaro
