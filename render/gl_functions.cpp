#include "render/gl_functions.h"

#include <SDL.h>

namespace qh {

bool GlFunctions::Load() {
  bool complete = true;
#define QH_GL_LOAD(type, member, symbol)                                  \
  member = reinterpret_cast<type>(SDL_GL_GetProcAddress(#symbol));        \
  if (member == nullptr) complete = false;
  QH_GL_FUNCTIONS(QH_GL_LOAD)
#undef QH_GL_LOAD
  return complete;
}

const char* CurrentGlRenderer() {
  if (SDL_GL_GetCurrentContext() == nullptr) return "";
  const auto getString = reinterpret_cast<PFNGLGETSTRINGPROC>(SDL_GL_GetProcAddress("glGetString"));
  const GLubyte* name = getString != nullptr ? getString(GL_RENDERER) : nullptr;
  return name != nullptr ? reinterpret_cast<const char*>(name) : "";
}

}  // namespace qh
