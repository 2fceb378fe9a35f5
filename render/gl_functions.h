// The OpenGL 3.3 core entry points the device uses, fetched from the current context
// through the presentation's loader (SDL's, or EGL's), so nothing depends on which GL
// library the system links by default.
#pragma once
#include <GL/glcorearb.h>

namespace qh {

#define QH_GL_FUNCTIONS(X)                                                   \
  X(PFNGLGETERRORPROC, GetError, glGetError)                                 \
  X(PFNGLGETSTRINGPROC, GetString, glGetString)                              \
  X(PFNGLGETINTEGERVPROC, GetIntegerv, glGetIntegerv)                        \
  X(PFNGLENABLEPROC, Enable, glEnable)                                       \
  X(PFNGLDISABLEPROC, Disable, glDisable)                                    \
  X(PFNGLVIEWPORTPROC, Viewport, glViewport)                                 \
  X(PFNGLSCISSORPROC, Scissor, glScissor)                                    \
  X(PFNGLCLEARCOLORPROC, ClearColor, glClearColor)                           \
  X(PFNGLCLEARDEPTHPROC, ClearDepth, glClearDepth)                           \
  X(PFNGLCLEARPROC, Clear, glClear)                                          \
  X(PFNGLCOLORMASKPROC, ColorMask, glColorMask)                              \
  X(PFNGLDEPTHMASKPROC, DepthMask, glDepthMask)                              \
  X(PFNGLDEPTHFUNCPROC, DepthFunc, glDepthFunc)                              \
  X(PFNGLBLENDFUNCPROC, BlendFunc, glBlendFunc)                              \
  X(PFNGLCULLFACEPROC, CullFace, glCullFace)                                 \
  X(PFNGLFRONTFACEPROC, FrontFace, glFrontFace)                              \
  X(PFNGLPIXELSTOREIPROC, PixelStorei, glPixelStorei)                        \
  X(PFNGLREADBUFFERPROC, ReadBuffer, glReadBuffer)                           \
  X(PFNGLREADPIXELSPROC, ReadPixels, glReadPixels)                           \
  X(PFNGLFINISHPROC, Finish, glFinish)                                       \
  X(PFNGLGENTEXTURESPROC, GenTextures, glGenTextures)                        \
  X(PFNGLDELETETEXTURESPROC, DeleteTextures, glDeleteTextures)               \
  X(PFNGLBINDTEXTUREPROC, BindTexture, glBindTexture)                        \
  X(PFNGLACTIVETEXTUREPROC, ActiveTexture, glActiveTexture)                  \
  X(PFNGLTEXIMAGE2DPROC, TexImage2D, glTexImage2D)                           \
  X(PFNGLTEXPARAMETERIPROC, TexParameteri, glTexParameteri)                  \
  X(PFNGLGENSAMPLERSPROC, GenSamplers, glGenSamplers)                        \
  X(PFNGLDELETESAMPLERSPROC, DeleteSamplers, glDeleteSamplers)               \
  X(PFNGLBINDSAMPLERPROC, BindSampler, glBindSampler)                        \
  X(PFNGLSAMPLERPARAMETERIPROC, SamplerParameteri, glSamplerParameteri)      \
  X(PFNGLGENFRAMEBUFFERSPROC, GenFramebuffers, glGenFramebuffers)            \
  X(PFNGLFRAMEBUFFERTEXTURE2DPROC, FramebufferTexture2D, glFramebufferTexture2D) \
  X(PFNGLDELETEFRAMEBUFFERSPROC, DeleteFramebuffers, glDeleteFramebuffers)   \
  X(PFNGLBINDFRAMEBUFFERPROC, BindFramebuffer, glBindFramebuffer)            \
  X(PFNGLFRAMEBUFFERRENDERBUFFERPROC, FramebufferRenderbuffer, glFramebufferRenderbuffer) \
  X(PFNGLCHECKFRAMEBUFFERSTATUSPROC, CheckFramebufferStatus, glCheckFramebufferStatus)    \
  X(PFNGLBLITFRAMEBUFFERPROC, BlitFramebuffer, glBlitFramebuffer)            \
  X(PFNGLGENRENDERBUFFERSPROC, GenRenderbuffers, glGenRenderbuffers)         \
  X(PFNGLDELETERENDERBUFFERSPROC, DeleteRenderbuffers, glDeleteRenderbuffers) \
  X(PFNGLBINDRENDERBUFFERPROC, BindRenderbuffer, glBindRenderbuffer)         \
  X(PFNGLRENDERBUFFERSTORAGEPROC, RenderbufferStorage, glRenderbufferStorage) \
  X(PFNGLGENBUFFERSPROC, GenBuffers, glGenBuffers)                           \
  X(PFNGLDELETEBUFFERSPROC, DeleteBuffers, glDeleteBuffers)                  \
  X(PFNGLBINDBUFFERPROC, BindBuffer, glBindBuffer)                           \
  X(PFNGLBUFFERDATAPROC, BufferData, glBufferData)                           \
  X(PFNGLBUFFERSUBDATAPROC, BufferSubData, glBufferSubData)                  \
  X(PFNGLGENVERTEXARRAYSPROC, GenVertexArrays, glGenVertexArrays)            \
  X(PFNGLDELETEVERTEXARRAYSPROC, DeleteVertexArrays, glDeleteVertexArrays)   \
  X(PFNGLBINDVERTEXARRAYPROC, BindVertexArray, glBindVertexArray)            \
  X(PFNGLVERTEXATTRIBPOINTERPROC, VertexAttribPointer, glVertexAttribPointer) \
  X(PFNGLENABLEVERTEXATTRIBARRAYPROC, EnableVertexAttribArray, glEnableVertexAttribArray)    \
  X(PFNGLDISABLEVERTEXATTRIBARRAYPROC, DisableVertexAttribArray, glDisableVertexAttribArray) \
  X(PFNGLVERTEXATTRIB4FPROC, VertexAttrib4f, glVertexAttrib4f)               \
  X(PFNGLVERTEXATTRIB2FPROC, VertexAttrib2f, glVertexAttrib2f)               \
  X(PFNGLCREATESHADERPROC, CreateShader, glCreateShader)                     \
  X(PFNGLSHADERSOURCEPROC, ShaderSource, glShaderSource)                     \
  X(PFNGLCOMPILESHADERPROC, CompileShader, glCompileShader)                  \
  X(PFNGLGETSHADERIVPROC, GetShaderiv, glGetShaderiv)                        \
  X(PFNGLGETSHADERINFOLOGPROC, GetShaderInfoLog, glGetShaderInfoLog)         \
  X(PFNGLDELETESHADERPROC, DeleteShader, glDeleteShader)                     \
  X(PFNGLCREATEPROGRAMPROC, CreateProgram, glCreateProgram)                  \
  X(PFNGLATTACHSHADERPROC, AttachShader, glAttachShader)                     \
  X(PFNGLDETACHSHADERPROC, DetachShader, glDetachShader)                     \
  X(PFNGLLINKPROGRAMPROC, LinkProgram, glLinkProgram)                        \
  X(PFNGLGETPROGRAMIVPROC, GetProgramiv, glGetProgramiv)                     \
  X(PFNGLGETPROGRAMINFOLOGPROC, GetProgramInfoLog, glGetProgramInfoLog)      \
  X(PFNGLDELETEPROGRAMPROC, DeleteProgram, glDeleteProgram)                  \
  X(PFNGLUSEPROGRAMPROC, UseProgram, glUseProgram)                           \
  X(PFNGLGETUNIFORMLOCATIONPROC, GetUniformLocation, glGetUniformLocation)   \
  X(PFNGLUNIFORM1IPROC, Uniform1i, glUniform1i)                              \
  X(PFNGLUNIFORM1FPROC, Uniform1f, glUniform1f)                              \
  X(PFNGLUNIFORMMATRIX4FVPROC, UniformMatrix4fv, glUniformMatrix4fv)         \
  X(PFNGLDRAWARRAYSPROC, DrawArrays, glDrawArrays)

struct GlFunctions {
#define QH_GL_MEMBER(type, member, symbol) type member = nullptr;
  QH_GL_FUNCTIONS(QH_GL_MEMBER)
#undef QH_GL_MEMBER

  // Fetches every entry point from the current context through `loader`; false when one
  // is missing.
  bool Load(void* (*loader)(const char* name));
};

}  // namespace qh
