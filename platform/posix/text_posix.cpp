// Text and path conventions on POSIX. 16-bit builds hand the file system UTF-8;
// a name that is not valid UTF-8 still has to be found, read and deleted, so each
// byte that does not decode is carried as the lone surrogate U+DC00+byte and
// turned back into that byte on the way out (names round-trip exactly). 8-bit
// builds pass bytes unchanged.

#include <cctype>
#include <cwctype>

#include "engine/file_system.hpp"

namespace vantrel {
namespace {

std::u16string DecodeUtf8(const std::string& in) {
  std::u16string out;
  out.reserve(in.size());
  std::size_t i = 0;
  const std::size_t n = in.size();
  auto cont = [&](std::size_t k) {
    return k < n && (static_cast<unsigned char>(in[k]) & 0xC0) == 0x80;
  };
  while (i < n) {
    unsigned char b = static_cast<unsigned char>(in[i]);
    char32_t cp = 0;
    std::size_t len = 0;
    if (b < 0x80) {
      cp = b;
      len = 1;
    } else if (b >= 0xC2 && b <= 0xDF && cont(i + 1)) {
      cp = ((b & 0x1F) << 6) | (in[i + 1] & 0x3F);
      len = 2;
    } else if (b >= 0xE0 && b <= 0xEF && cont(i + 1) && cont(i + 2)) {
      cp = ((b & 0x0F) << 12) | ((in[i + 1] & 0x3F) << 6) | (in[i + 2] & 0x3F);
      // Overlong forms and encoded surrogates are not UTF-8.
      if (cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF)) len = 3;
    } else if (b >= 0xF0 && b <= 0xF4 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
      cp = ((b & 0x07) << 18) | ((in[i + 1] & 0x3F) << 12) | ((in[i + 2] & 0x3F) << 6) |
           (in[i + 3] & 0x3F);
      if (cp >= 0x10000 && cp <= 0x10FFFF) len = 4;
    }
    if (len == 0) {
      out.push_back(static_cast<char16_t>(0xDC00 + b));
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string EncodeUtf8(const std::u16string& in) {
  std::string out;
  out.reserve(in.size() * 3);
  for (std::size_t i = 0; i < in.size(); ++i) {
    char32_t cp = in[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 &&
        in[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xDC80 && cp <= 0xDCFF) {
      out.push_back(static_cast<char>(cp - 0xDC00));  // an escaped raw byte
      continue;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // a lone surrogate that no name could have produced
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace

Char PathSeparator() { return static_cast<Char>('/'); }

int AddTrailingSlash(Text& path) {
  if (path.empty() || path.back() != static_cast<Char>('/')) path.push_back(static_cast<Char>('/'));
  return 1;
}

int AddTrailingSeparator(Text& path) { return AddTrailingSlash(path); }

Text LowerCaseText(const Text& text) {
  Text out = text;
  for (Char& c : out) {
    if constexpr (sizeof(Char) == 1) {
      c = static_cast<Char>(std::tolower(static_cast<unsigned char>(c)));
    } else {
      c = static_cast<Char>(std::towlower(static_cast<wint_t>(c)));
    }
  }
  return out;
}

std::string SystemBytesFromText(const Text& text) {
  if constexpr (sizeof(Char) == 1) {
    return std::string(text.begin(), text.end());
  } else {
    return EncodeUtf8(std::u16string(text.begin(), text.end()));
  }
}

Text TextFromSystemBytes(const std::string& bytes) {
  if constexpr (sizeof(Char) == 1) {
    return Text(bytes.begin(), bytes.end());
  } else {
    std::u16string wide = DecodeUtf8(bytes);
    return Text(wide.begin(), wide.end());
  }
}

}  // namespace vantrel
