// A small JSON writer for the page's C API. Strings are byte strings (code page 932 as the core
// keeps them): every byte from 0x80 up is written as \u00XX, so the page reads each string as
// its bytes and decodes them itself.
#pragma once

#include <string>

namespace web {

class Json {
 public:
  Json& Begin() { return Raw("{"), first_ = true, *this; }
  Json& End() { return Raw("}"), first_ = false, *this; }
  Json& BeginArray(const char* key) { return Key(key), Raw("["), first_ = true, *this; }
  Json& EndArray() { return Raw("]"), first_ = false, *this; }
  Json& BeginObject(const char* key) { return Key(key), Raw("{"), first_ = true, *this; }
  // An element of an array.
  Json& Item(const char* text) { return Comma(), Quoted(text), *this; }
  Json& Item(int value) { return Comma(), Raw(std::to_string(value).c_str()), *this; }
  Json& ItemObject() { return Comma(), Raw("{"), first_ = true, *this; }
  Json& ItemArray() { return Comma(), Raw("["), first_ = true, *this; }
  Json& Field(const char* key, const char* text) { return Key(key), Quoted(text), *this; }
  Json& Field(const char* key, const std::string& text) { return Field(key, text.c_str()); }
  Json& Field(const char* key, int value) {
    return Key(key), Raw(std::to_string(value).c_str()), *this;
  }
  Json& Flag(const char* key, bool value) { return Key(key), Raw(value ? "true" : "false"), *this; }
  const std::string& Text() const { return text_; }

 private:
  void Raw(const char* text) { text_ += text; }
  void Comma() {
    if (!first_) text_ += ',';
    first_ = false;
  }
  void Key(const char* key) {
    Comma();
    Quoted(key);
    text_ += ':';
  }
  void Quoted(const char* text) {
    static const char kHex[] = "0123456789abcdef";
    text_ += '"';
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text ? text : ""); *p;
         ++p) {
      if (*p == '"' || *p == '\\') {
        text_ += '\\';
        text_ += static_cast<char>(*p);
      } else if (*p < 0x20 || *p >= 0x7F) {
        text_ += "\\u00";
        text_ += kHex[*p >> 4];
        text_ += kHex[*p & 15];
      } else {
        text_ += static_cast<char>(*p);
      }
    }
    text_ += '"';
  }
  std::string text_;
  bool first_ = true;
};

}  // namespace web
