#include "engine/search_settings.hpp"

namespace vantrel {

Text AttributeCodeFor(std::int32_t includeHidden, std::int32_t includeSystem) {
  Text code;
  code.push_back(static_cast<Char>(includeHidden == 1 ? '1' : '0'));
  code.push_back(static_cast<Char>(includeSystem == 1 ? '1' : '0'));
  return code;
}

Text BuildFileTypes(const Text& input) {
  Text out;
  if (input.empty()) return out;
  const Char space = static_cast<Char>(' ');
  std::size_t start = 0;
  for (;;) {
    // Field k runs from start to the next single space (or the end); past the
    // last field the field is empty, which closes the list.
    std::size_t end = start <= input.size() ? input.find(space, start) : Text::npos;
    if (end == Text::npos) end = input.size();
    Text field = start < input.size() ? input.substr(start, end - start) : Text();
    if (field.empty()) {
      out.push_back(space);
      return out;
    }
    out.push_back(space);
    out += field;
    start = end + 1;
  }
}

}  // namespace vantrel
