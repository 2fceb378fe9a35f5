#include "render/gl_functions.h"

namespace qh {

bool GlFunctions::Load(void* (*loader)(const char* name)) {
  if (loader == nullptr) return false;
  bool complete = true;
#define QH_GL_LOAD(type, member, symbol)              \
  member = reinterpret_cast<type>(loader(#symbol));   \
  if (member == nullptr) complete = false;
  QH_GL_FUNCTIONS(QH_GL_LOAD)
#undef QH_GL_LOAD
  return complete;
}

}  // namespace qh
