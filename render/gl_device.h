// The OpenGL 3.3 core implementation of the graphics device. The picture is drawn into a
// framebuffer object of the selected display mode's size (the back buffer); Present
// scales it into each surface of the presentation, keeping its 4:3 shape with black bars
// (or where the surface says), then swaps it. One
// small shader pair does what the fixed-function stage did for this program: the
// row-vector world x view x projection transform with 0..1 depth, texture x diffuse,
// the alpha test on 0..255 alpha, and the blend factors, filters and wrap addressing
// of stage 0. Its fragment half is compiled once per combination of operations and alpha
// test actually drawn with, so no draw pays for a branch or a fetch it does not need.
// Textures are uploaded lazily whenever their memory changed.
//
// One device (one GL context) at a time; it stays current on the thread that made it.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "render/device.h"
#include "render/gl_functions.h"
#include "render/letterbox.h"
#include "render/presentation.h"

namespace qh {

class GlDevice : public GraphicsDevice {
 public:
  // A device presenting to `presentation` (which must outlive it) with the back buffer,
  // depth buffer and presentation interval of `params`; nullptr when no OpenGL 3.3 core
  // context can be made.
  static std::unique_ptr<GlDevice> Create(Presentation* presentation, const D3DPRESENT_PARAMETERS& params);
  ~GlDevice() override;

  HRESULT SetRenderState(uint32_t state, uint32_t value) override;
  HRESULT SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value) override;
  HRESULT SetTransform(uint32_t type, const Matrix4& matrix) override;
  HRESULT GetTransform(uint32_t type, Matrix4* matrix) override;
  HRESULT SetTexture(uint32_t stage, Texture* texture) override;
  HRESULT SetStreamSource(uint32_t stream, const void* buffer, uint32_t stride) override;
  HRESULT SetVertexShader(uint32_t fvf) override;
  HRESULT DrawPrimitiveUP(uint32_t primitiveType, uint32_t primitiveCount, const void* vertexData,
                          uint32_t stride) override;
  HRESULT Clear(uint32_t count, const void* rects, uint32_t flags, D3DCOLOR colour, float z,
                uint32_t stencil) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  // ComposeSurface and a swap for each of the presentation's surfaces.
  HRESULT Present() override;
  // D3DERR_DEVICELOST while the picture is hidden (after it was once shown),
  // D3DERR_DEVICENOTRESET once it is back or when it moved to another display or that
  // display's desktop size changed; D3D_OK otherwise and after Reset.
  HRESULT TestCooperativeLevel() override;
  // New back buffer of the given size, every state back to the device defaults; textures stay.
  HRESULT Reset(D3DPRESENT_PARAMETERS* params) override;
  void ForgetTexture(Texture* texture) override;

  // Draws the back buffer scaled into the surface (current), centred with black bars; or,
  // when the surface names picture areas, black with the picture in each of them.
  void ComposeSurface(const PresentationSurface& surface);
  // ComposeSurface on the presentation's first surface.
  void ComposeWindow();
  // The back buffer: rows top to bottom, bytes red, green, blue, alpha (alpha 255).
  // The vector is resized to width x height x 4 (no allocation once it has that size).
  bool ReadBackBuffer(std::vector<uint8_t>* rgba, uint32_t* width, uint32_t* height);
  // The first surface as the last ComposeWindow left it, in the same layout.
  bool ReadWindow(std::vector<uint8_t>* rgba, uint32_t* width, uint32_t* height);
  // Waits until every draw issued so far has reached the back buffer (for measurements).
  void Finish();
  // Off by default. On, a texture's own pixel memory is given back (Texture::DropPixels) as
  // soon as the driver has taken its copy without error: the saver's device lives as long
  // as the run and keeps its textures through resets, so the second copy is never read.
  void SetDropPixelsAfterUpload(bool drop) { dropPixelsAfterUpload_ = drop; }
  // While set, clears and draws are accepted and dropped: the engine runs a frame nobody
  // will see without paying for its pixels. States, transforms and textures still change.
  void SetDrawingSkipped(bool skipped) { drawingSkipped_ = skipped; }
  // GL_RENDERER of the device's context (Mesa's software rasterisers name themselves there);
  // empty before the context exists.
  const char* RendererName() const;
  uint32_t BackBufferWidth() const { return width_; }
  uint32_t BackBufferHeight() const { return height_; }

 private:
  explicit GlDevice(Presentation* presentation);
  bool Initialise(const D3DPRESENT_PARAMETERS& params);
  // One compiled fragment stage per combination of the states that shape its code.
  struct ShaderVariant {
    GLuint program = 0;
    bool failed = false;
    GLint uWvp = -1, uAlphaRef = -1;
    uint32_t transformRevision = 0;  // the transform its uniform holds
    float alphaRef = -1.0f;
  };
  // Colour operation class x alpha operation class x alpha comparison.
  static constexpr uint32_t kShaderVariants = 3 * 3 * 8;

  GLuint CompileShader(GLenum type, const char* defines, const char* source);
  // The program of two compiled shaders (left to the caller), or 0 with the log on stderr.
  GLuint LinkProgram(GLuint vertex, GLuint fragment);
  bool BuildProgram();
  uint32_t ShaderKey() const;  // the variant the current states draw with
  ShaderVariant* Variant(uint32_t key);  // built on first use; nullptr when it does not build
  void ApplyPipeline();
  bool BuildBackBuffer(uint32_t width, uint32_t height, bool depth, D3DFORMAT depthFormat);
  void DestroyBackBuffer();
  bool EnsureDepthBuffer();
  bool BuildPresentProgram();
  void ResetStates(bool depthEnabled);
  void ApplyStates();
  void PrepareTexture(Texture* texture);
  void RememberDisplay();
  // Clears the window outside the picture's rectangle (x, y, w, h), bottom-left origin.
  void ClearWindowBars(int32_t x, int32_t y, int32_t w, int32_t h, int32_t windowWidth, int32_t windowHeight);
  bool ReadPixels(GLuint framebuffer, uint32_t width, uint32_t height, std::vector<uint8_t>* rgba);

  Presentation* presentation_;
  GlFunctions gl_;
  uint32_t generation_;

  GLuint vertexShader_ = 0, vao_ = 0, vbo_ = 0, sampler_ = 0;
  ShaderVariant variants_[kShaderVariants];
  ShaderVariant* current_ = nullptr;
  Matrix4 wvp_;
  uint32_t transformRevision_ = 1;
  GLuint framebuffer_ = 0, colourTexture_ = 0, depthBuffer_ = 0;
  GLuint presentProgram_ = 0, presentSampler_ = 0;  // what scales the picture into a window
  size_t vboCapacity_ = 0, vboOffset_ = 0;
  uint32_t width_ = 0, height_ = 0;
  bool hasDepth_ = false;  // the depth buffer exists (it is made at the first draw that tests depth)
  D3DFORMAT depthFormat_ = D3DFMT_UNKNOWN;  // none when the back buffer has no depth
  float pendingDepthClear_ = 1.0f;  // what a depth buffer made now must hold

  uint32_t renderStates_[D3DRS_MAX] = {};
  uint32_t stageStates_[D3DTSS_MAX] = {};  // stage 0; other stages are not drawn with
  Matrix4 world_, view_, projection_;
  Texture* texture_ = nullptr;
  uint32_t fvf_ = 0;
  bool pipelineDirty_ = true, samplerDirty_ = true, transformDirty_ = true;
  bool dropPixelsAfterUpload_ = false;
  bool drawingSkipped_ = false;
  bool samplerSingleLevel_ = false;  // the sampler was set for a texture of one level

  bool everShown_ = false, lost_ = false;
  int32_t displayIndex_ = 0, desktopWidth_ = 0, desktopHeight_ = 0;
};

// The display's full-screen modes as the presentation lists them. When it offers no usable
// mode (the headless driver, a bare X server), the adapter offers 640x480 and 800x600 at
// 32 bits, so the 800x600 picture is found. Any depth format the back buffer can carry
// passes the format checks. CreateDevice reads hDeviceWindow as the Presentation.
class GlAdapter : public GraphicsAdapter {
 public:
  explicit GlAdapter(const Presentation& presentation);

  uint32_t GetAdapterModeCount() override;
  HRESULT EnumAdapterModes(uint32_t index, D3DDISPLAYMODE* mode) override;
  HRESULT CheckDeviceFormat(D3DFORMAT adapterFormat, uint32_t usage, D3DRESOURCETYPE type,
                            D3DFORMAT checkFormat) override;
  HRESULT CheckDepthStencilMatch(D3DFORMAT adapterFormat, D3DFORMAT renderTargetFormat,
                                 D3DFORMAT depthStencilFormat) override;
  std::unique_ptr<GraphicsDevice> CreateDevice(D3DPRESENT_PARAMETERS* params) override;

 private:
  std::vector<D3DDISPLAYMODE> modes_;
};

}  // namespace qh
