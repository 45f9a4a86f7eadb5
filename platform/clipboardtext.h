#pragma once

#include <string>

// The desktop clipboard's plain text, as bytes passed unchanged.
class clipboardtext {
 public:
  virtual ~clipboardtext() = default;
  // The text up to its first zero byte; empty when there is none.
  virtual std::string read() = 0;
  virtual void write(const std::string &bytes) = 0;
};
