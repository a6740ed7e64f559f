// Running out of memory while reading something named (a learning file, a
// document, a set file): the name travels with the failure to the one place
// that reports it.
#pragma once

#include <new>
#include <string>
#include <utility>

class OutOfMemoryReading : public std::bad_alloc {
 public:
  explicit OutOfMemoryReading(std::string name) : name_(std::move(name)) {}
  const std::string& name() const { return name_; }

 private:
  std::string name_;
};

// Calls call() and returns what it returns; running out of memory there is
// rethrown naming `name`, unless something inside named its own file already.
// (Copying the name may itself fail: the failure then names nothing.)
template <typename Call>
decltype(auto) NamingOutOfMemory(const std::string& name, Call call) {
  try {
    return call();
  } catch (const OutOfMemoryReading&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw OutOfMemoryReading(name);
  }
}
