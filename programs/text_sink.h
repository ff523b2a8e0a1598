// Where the console companion's commands write their text: standard output
// and standard error in the program, a string in the tests. Deliberately not
// std::ostream: iostreams bring the C++ locale machinery, several hundred KB,
// into the program file. (Not named TextOut: windows.h makes that a macro.)
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <type_traits>

namespace lanchuan {

class TextSink {
 public:
  virtual ~TextSink() = default;
  virtual void write(const char* data, std::size_t size) = 0;
  // Pushes what was written so far to its destination.
  virtual void flush() {}

  TextSink& operator<<(const std::string& text) {
    write(text.data(), text.size());
    return *this;
  }
  TextSink& operator<<(const char* text) { return *this << std::string(text); }
  TextSink& operator<<(char c) {
    write(&c, 1);
    return *this;
  }
  // Integers in decimal, as iostreams print them.
  template <typename Int,
            typename = std::enable_if_t<std::is_integral_v<Int> && !std::is_same_v<Int, char> &&
                                        !std::is_same_v<Int, bool>>>
  TextSink& operator<<(Int value) {
    return *this << std::to_string(value);
  }
};

// Collects the text, for the tests.
class StringSink : public TextSink {
 public:
  void write(const char* data, std::size_t size) override { text_.append(data, size); }
  const std::string& str() const { return text_; }
  void str(const std::string& text) { text_ = text; }

 private:
  std::string text_;
};

// Writes to a C stream (stdout, stderr), in the stream's own mode.
class StdioSink : public TextSink {
 public:
  explicit StdioSink(std::FILE* stream) : stream_(stream) {}
  void write(const char* data, std::size_t size) override { std::fwrite(data, 1, size, stream_); }
  void flush() override { std::fflush(stream_); }

 private:
  std::FILE* stream_;
};

}  // namespace lanchuan
