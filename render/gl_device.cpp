#include "render/gl_device.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "render/device_setup.h"

namespace qh {

namespace {

// Every device gets its own generation so a texture's GL name is never taken for one of
// another (already destroyed) context.
uint32_t nextGeneration = 1;

const char* const kVertexShader = R"(
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec4 aColour;
layout(location = 2) in vec2 aTexCoord;
uniform mat4 uWvp;
out vec4 vColour;
out vec2 vTexCoord;
void main() {
  // Row vectors times world x view x projection (uploaded untransposed, so the column-major
  // reading of the row-major matrix is its transpose and this is the same product).
  vec4 p = uWvp * vec4(aPosition, 1.0);
  // Direct3D's depth runs from 0 to w, OpenGL's from -w to w.
  p.z = 2.0 * p.z - p.w;
  gl_Position = p;
  vColour = aColour;
  vTexCoord = aTexCoord;
}
)";

// The fragment stage, built once per combination of the states that change its code (see
// ShaderKey): a draw pays only for the texture fetch, the operations and the alpha test it
// asks for. The arithmetic is the same in every variant, so a variant draws exactly the
// pixels the general stage would.
const char* const kPresentVertexShader = R"(
out vec2 vUv;
void main() {
  vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));
  vUv = corner;
  gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
)";

const char* const kPresentFragmentShader = R"(
uniform sampler2D uPicture;
in vec2 vUv;
out vec4 fragColour;
void main() { fragColour = texture(uPicture, vUv); }
)";

const char* const kFragmentShader = R"(
// COLOUR_OP and ALPHA_OP: 0 the texel, 1 the diffuse colour, 2 texel x diffuse.
// ALPHA_FUNC: the comparison 1..8 (8 always: also when the test is off).
in vec4 vColour;
in vec2 vTexCoord;
uniform sampler2D uTexture;
uniform float uAlphaRef;  // 0..255
out vec4 fragColour;

vec4 Select(int op, vec4 texel, vec4 diffuse) {
  if (op == 0) return texel;
  if (op == 1) return diffuse;
  return texel * diffuse;
}

void main() {
  vec4 colour = vColour;
#if COLOUR_OP != 1 || ALPHA_OP != 1
  vec4 texel = texture(uTexture, vTexCoord);
  colour.rgb = Select(COLOUR_OP, texel, vColour).rgb;
  colour.a = Select(ALPHA_OP, texel, vColour).a;
#endif
#if ALPHA_FUNC != 8
  // The test sees the alpha as the 8-bit value the stage produced.
  float a = floor(colour.a * 255.0 + 0.5);
#if ALPHA_FUNC == 1
  discard;
#elif ALPHA_FUNC == 2
  if (!(a < uAlphaRef)) discard;
#elif ALPHA_FUNC == 3
  if (!(a == uAlphaRef)) discard;
#elif ALPHA_FUNC == 4
  if (!(a <= uAlphaRef)) discard;
#elif ALPHA_FUNC == 5
  if (!(a > uAlphaRef)) discard;
#elif ALPHA_FUNC == 6
  if (!(a != uAlphaRef)) discard;
#elif ALPHA_FUNC == 7
  if (!(a >= uAlphaRef)) discard;
#endif
#endif
  fragColour = colour;
}
)";

// Where a stage-0 operation takes its result from: 0 the texel, 1 the diffuse colour,
// 2 their product (MODULATE and every operation this device does not emulate).
uint32_t OperationClass(uint32_t op) {
  if (op == D3DTOP_SELECTARG1) return 0;
  if (op == D3DTOP_DISABLE || op == D3DTOP_SELECTARG2) return 1;
  return 2;
}

GLenum BlendFactor(uint32_t blend) {
  switch (blend) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    default: return GL_ONE;
  }
}

GLenum CompareFunction(uint32_t cmp) {
  switch (cmp) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

GLint AddressMode(uint32_t address) {
  switch (address) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    default: return GL_REPEAT;
  }
}

// NONE and POINT sample the nearest texel; LINEAR and anything finer filter.
bool Filters(uint32_t filter) { return filter >= D3DTEXF_LINEAR; }

GLint MinifyingFilter(uint32_t minFilter, uint32_t mipFilter) {
  const bool linear = Filters(minFilter);
  if (mipFilter == D3DTEXF_NONE) return linear ? GL_LINEAR : GL_NEAREST;
  if (mipFilter == D3DTEXF_POINT) return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
  return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
}

GLenum DepthStorage(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_D32: return GL_DEPTH_COMPONENT32;
    case D3DFMT_D24S8: return GL_DEPTH24_STENCIL8;
    case D3DFMT_D24X8: return GL_DEPTH_COMPONENT24;
    default: return GL_DEPTH_COMPONENT16;
  }
}

bool IsDepthFormatWeCarry(D3DFORMAT format) {
  return format == D3DFMT_D32 || format == D3DFMT_D16 || format == D3DFMT_D24S8 || format == D3DFMT_D24X8;
}

bool IsBackBufferFormat(D3DFORMAT format) { return format == D3DFMT_X8R8G8B8 || format == D3DFMT_R5G6B5; }

uint32_t VerticesFor(uint32_t primitiveType, uint32_t count, GLenum* mode) {
  switch (primitiveType) {
    case D3DPT_POINTLIST: *mode = GL_POINTS; return count;
    case D3DPT_LINELIST: *mode = GL_LINES; return count * 2;
    case D3DPT_LINESTRIP: *mode = GL_LINE_STRIP; return count + 1;
    case D3DPT_TRIANGLELIST: *mode = GL_TRIANGLES; return count * 3;
    case D3DPT_TRIANGLESTRIP: *mode = GL_TRIANGLE_STRIP; return count + 2;
    case D3DPT_TRIANGLEFAN: *mode = GL_TRIANGLE_FAN; return count + 2;
    default: return 0;
  }
}

constexpr size_t kInitialStreamBytes = 256 * 1024;

// Whether one of the areas holds the whole surface, so no pixel of it needs clearing.
bool CoversSurface(const std::vector<PixelRect>& areas, int32_t width, int32_t height) {
  for (const PixelRect& a : areas) {
    if (a.x <= 0 && a.y <= 0 && int64_t{a.x} + a.w >= width && int64_t{a.y} + a.h >= height) return true;
  }
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Creation and the back buffer

GlDevice::GlDevice(Presentation* presentation) : presentation_(presentation), generation_(nextGeneration++) {}

std::unique_ptr<GlDevice> GlDevice::Create(Presentation* presentation, const D3DPRESENT_PARAMETERS& params) {
  if (presentation == nullptr || !presentation->CreateContext()) return nullptr;
  std::unique_ptr<GlDevice> device(new GlDevice(presentation));
  if (!device->Initialise(params)) return nullptr;
  return device;
}

GlDevice::~GlDevice() {
  presentation_->MakeContextCurrent();
  if (gl_.DeleteProgram != nullptr) {
    DestroyBackBuffer();
    for (ShaderVariant& variant : variants_) {
      if (variant.program != 0) gl_.DeleteProgram(variant.program);
    }
    if (vertexShader_ != 0) gl_.DeleteShader(vertexShader_);
    if (vbo_ != 0) gl_.DeleteBuffers(1, &vbo_);
    if (vao_ != 0) gl_.DeleteVertexArrays(1, &vao_);
    if (sampler_ != 0) gl_.DeleteSamplers(1, &sampler_);
    if (presentProgram_ != 0) gl_.DeleteProgram(presentProgram_);
    if (presentSampler_ != 0) gl_.DeleteSamplers(1, &presentSampler_);
  }
  presentation_->DestroyContext();
}

bool GlDevice::Initialise(const D3DPRESENT_PARAMETERS& params) {
  if (!gl_.Load(presentation_->Loader())) {
    std::fprintf(stderr, "OpenGL 3.3: the context lacks core entry points\n");
    return false;
  }
  GLint major = 0, minor = 0;
  gl_.GetIntegerv(GL_MAJOR_VERSION, &major);
  gl_.GetIntegerv(GL_MINOR_VERSION, &minor);
  if (major < 3 || (major == 3 && minor < 3)) {
    std::fprintf(stderr, "OpenGL 3.3: the context offers only %d.%d\n", major, minor);
    return false;
  }
  if (!BuildProgram()) return false;
  if (!BuildPresentProgram()) return false;
  gl_.GenVertexArrays(1, &vao_);
  gl_.BindVertexArray(vao_);
  gl_.GenBuffers(1, &vbo_);
  gl_.BindBuffer(GL_ARRAY_BUFFER, vbo_);
  vboCapacity_ = kInitialStreamBytes;
  gl_.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vboCapacity_), nullptr, GL_STREAM_DRAW);
  gl_.GenSamplers(1, &sampler_);
  gl_.BindSampler(0, sampler_);
  gl_.ActiveTexture(GL_TEXTURE0);
  gl_.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gl_.PixelStorei(GL_PACK_ALIGNMENT, 1);

  if (!BuildBackBuffer(params.BackBufferWidth, params.BackBufferHeight, params.EnableAutoDepthStencil != 0,
                       params.AutoDepthStencilFormat)) {
    std::fprintf(stderr, "OpenGL 3.3: no %ux%u back buffer\n", params.BackBufferWidth, params.BackBufferHeight);
    return false;
  }
  ResetStates(params.EnableAutoDepthStencil != 0);
  presentation_->SetSwapInterval(params.FullScreen_PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
  everShown_ = !presentation_->Status().hidden;
  RememberDisplay();
  return gl_.GetError() == GL_NO_ERROR;
}

GLuint GlDevice::CompileShader(GLenum type, const char* defines, const char* source) {
  const char* sources[] = {"#version 330 core\n", defines, source};
  GLuint shader = gl_.CreateShader(type);
  gl_.ShaderSource(shader, 3, sources, nullptr);
  gl_.CompileShader(shader);
  GLint ok = 0;
  gl_.GetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[1024] = {};
    gl_.GetShaderInfoLog(shader, sizeof log, nullptr, log);
    std::fprintf(stderr, "OpenGL 3.3: shader: %s\n", log);
    gl_.DeleteShader(shader);
    return 0;
  }
  return shader;
}

GLuint GlDevice::LinkProgram(GLuint vertex, GLuint fragment) {
  const GLuint program = gl_.CreateProgram();
  gl_.AttachShader(program, vertex);
  gl_.AttachShader(program, fragment);
  gl_.LinkProgram(program);
  gl_.DetachShader(program, vertex);
  gl_.DetachShader(program, fragment);
  GLint linked = 0;
  gl_.GetProgramiv(program, GL_LINK_STATUS, &linked);
  if (linked) return program;
  char log[1024] = {};
  gl_.GetProgramInfoLog(program, sizeof log, nullptr, log);
  std::fprintf(stderr, "OpenGL 3.3: program: %s\n", log);
  gl_.DeleteProgram(program);
  return 0;
}

bool GlDevice::BuildProgram() {
  vertexShader_ = CompileShader(GL_VERTEX_SHADER, "", kVertexShader);
  // The variant of the device's default states: if it builds, every variant does.
  return vertexShader_ != 0 && Variant(ShaderKey()) != nullptr;
}

bool GlDevice::BuildPresentProgram() {
  const GLuint vertex = CompileShader(GL_VERTEX_SHADER, "", kPresentVertexShader);
  const GLuint fragment = CompileShader(GL_FRAGMENT_SHADER, "", kPresentFragmentShader);
  if (vertex != 0 && fragment != 0) presentProgram_ = LinkProgram(vertex, fragment);
  if (vertex != 0) gl_.DeleteShader(vertex);
  if (fragment != 0) gl_.DeleteShader(fragment);
  if (presentProgram_ == 0) {
    std::fprintf(stderr, "OpenGL 3.3: the program that shows the picture does not build\n");
    return false;
  }
  gl_.UseProgram(presentProgram_);
  gl_.Uniform1i(gl_.GetUniformLocation(presentProgram_, "uPicture"), 0);
  gl_.UseProgram(0);
  gl_.GenSamplers(1, &presentSampler_);
  gl_.SamplerParameteri(presentSampler_, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  gl_.SamplerParameteri(presentSampler_, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  gl_.SamplerParameteri(presentSampler_, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  gl_.SamplerParameteri(presentSampler_, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  return true;
}

uint32_t GlDevice::ShaderKey() const {
  const uint32_t colourOp = stageStates_[D3DTSS_COLOROP];
  const bool textured = texture_ != nullptr && colourOp != D3DTOP_DISABLE;
  const uint32_t colourClass = textured ? OperationClass(colourOp) : 1;
  const uint32_t alphaClass = textured ? OperationClass(stageStates_[D3DTSS_ALPHAOP]) : 1;
  uint32_t alphaFunc = renderStates_[D3DRS_ALPHATESTENABLE] ? renderStates_[D3DRS_ALPHAFUNC] : D3DCMP_ALWAYS;
  if (alphaFunc < D3DCMP_NEVER || alphaFunc > D3DCMP_ALWAYS) alphaFunc = D3DCMP_ALWAYS;  // no test at all
  return (colourClass * 3 + alphaClass) * 8 + (alphaFunc - 1);
}

GlDevice::ShaderVariant* GlDevice::Variant(uint32_t key) {
  ShaderVariant& variant = variants_[key];
  if (variant.program != 0) return &variant;
  if (variant.failed) return nullptr;
  char defines[96];
  std::snprintf(defines, sizeof defines, "#define COLOUR_OP %u\n#define ALPHA_OP %u\n#define ALPHA_FUNC %u\n",
                key / 24, key / 8 % 3, key % 8 + 1);
  const GLuint fragment = CompileShader(GL_FRAGMENT_SHADER, defines, kFragmentShader);
  if (fragment == 0) {
    variant.failed = true;
    return nullptr;
  }
  const GLuint program = LinkProgram(vertexShader_, fragment);
  gl_.DeleteShader(fragment);
  if (program == 0) {
    variant.failed = true;
    return nullptr;
  }
  variant.program = program;
  variant.uWvp = gl_.GetUniformLocation(program, "uWvp");
  variant.uAlphaRef = gl_.GetUniformLocation(program, "uAlphaRef");
  gl_.UseProgram(program);
  gl_.Uniform1i(gl_.GetUniformLocation(program, "uTexture"), 0);
  if (current_ != nullptr) gl_.UseProgram(current_->program);
  return &variant;
}

bool GlDevice::BuildBackBuffer(uint32_t width, uint32_t height, bool depth, D3DFORMAT depthFormat) {
  DestroyBackBuffer();
  if (width == 0 || height == 0 || width > 16384 || height > 16384) return false;
  width_ = width;
  height_ = height;
  gl_.GenFramebuffers(1, &framebuffer_);
  gl_.BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  // A texture rather than a renderbuffer: the present samples it to scale the picture.
  gl_.GenTextures(1, &colourTexture_);
  gl_.BindTexture(GL_TEXTURE_2D, colourTexture_);
  gl_.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, static_cast<GLsizei>(width), static_cast<GLsizei>(height), 0, GL_BGRA,
                 GL_UNSIGNED_BYTE, nullptr);
  gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  gl_.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colourTexture_, 0);
  gl_.BindTexture(GL_TEXTURE_2D, 0);  // drawn into, never sampled while it is
  // The depth buffer is made when the first draw tests depth: the scenes never do, and a
  // software rasteriser takes slower paths for a framebuffer that has one.
  hasDepth_ = false;
  depthFormat_ = depth ? depthFormat : D3DFMT_UNKNOWN;
  pendingDepthClear_ = 1.0f;
  if (gl_.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return false;
  gl_.Viewport(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
  // The back buffer has no alpha of its own (X8R8G8B8): its alpha stays 1 and is never written.
  gl_.ColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  gl_.DepthMask(GL_TRUE);
  gl_.ClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  gl_.ClearDepth(1.0);
  gl_.Clear(GL_COLOR_BUFFER_BIT);
  gl_.ColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
  pipelineDirty_ = true;
  return true;
}

bool GlDevice::EnsureDepthBuffer() {
  if (hasDepth_) return true;
  if (depthFormat_ == D3DFMT_UNKNOWN || framebuffer_ == 0) return false;
  const GLsizei width = static_cast<GLsizei>(width_), height = static_cast<GLsizei>(height_);
  gl_.GenRenderbuffers(1, &depthBuffer_);
  gl_.BindRenderbuffer(GL_RENDERBUFFER, depthBuffer_);
  const GLenum storage = DepthStorage(depthFormat_);
  gl_.RenderbufferStorage(GL_RENDERBUFFER, storage, width, height);
  const GLenum attachment = storage == GL_DEPTH24_STENCIL8 ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
  gl_.FramebufferRenderbuffer(GL_FRAMEBUFFER, attachment, GL_RENDERBUFFER, depthBuffer_);
  if (gl_.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    // Not every driver renders into 32-bit integer depth; 24 bits serve the same purpose.
    gl_.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    if (attachment != GL_DEPTH_ATTACHMENT) {
      gl_.FramebufferRenderbuffer(GL_FRAMEBUFFER, attachment, GL_RENDERBUFFER, 0);
      gl_.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthBuffer_);
    }
  }
  hasDepth_ = true;
  // It holds what the last clear before it asked for (the far plane when none did).
  gl_.ClearDepth(static_cast<double>(pendingDepthClear_));
  gl_.DepthMask(GL_TRUE);
  gl_.Clear(GL_DEPTH_BUFFER_BIT);
  return true;
}

void GlDevice::DestroyBackBuffer() {
  gl_.BindFramebuffer(GL_FRAMEBUFFER, 0);
  if (framebuffer_ != 0) gl_.DeleteFramebuffers(1, &framebuffer_);
  if (depthBuffer_ != 0) gl_.DeleteRenderbuffers(1, &depthBuffer_);
  if (colourTexture_ != 0) gl_.DeleteTextures(1, &colourTexture_);
  framebuffer_ = colourTexture_ = depthBuffer_ = 0;
  width_ = height_ = 0;
  hasDepth_ = false;
}

// The states a freshly created or reset device starts with.
void GlDevice::ResetStates(bool depthEnabled) {
  std::fill(std::begin(renderStates_), std::end(renderStates_), 0u);
  std::fill(std::begin(stageStates_), std::end(stageStates_), 0u);
  renderStates_[D3DRS_ZENABLE] = depthEnabled ? D3DZB_TRUE : D3DZB_FALSE;
  renderStates_[D3DRS_ZWRITEENABLE] = 1;
  renderStates_[D3DRS_ALPHATESTENABLE] = 0;
  renderStates_[D3DRS_LASTPIXEL] = 1;
  renderStates_[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  renderStates_[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  renderStates_[D3DRS_CULLMODE] = D3DCULL_CCW;
  renderStates_[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  renderStates_[D3DRS_ALPHAREF] = 0;
  renderStates_[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  renderStates_[D3DRS_ALPHABLENDENABLE] = 0;
  renderStates_[D3DRS_LIGHTING] = 1;
  stageStates_[D3DTSS_COLOROP] = D3DTOP_MODULATE;
  stageStates_[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1;
  stageStates_[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
  stageStates_[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
  stageStates_[D3DTSS_MAGFILTER] = D3DTEXF_POINT;
  stageStates_[D3DTSS_MINFILTER] = D3DTEXF_POINT;
  stageStates_[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
  world_ = view_ = projection_ = Matrix4{};
  texture_ = nullptr;
  samplerSingleLevel_ = false;
  fvf_ = 0;
  pipelineDirty_ = samplerDirty_ = transformDirty_ = true;
}

void GlDevice::RememberDisplay() {
  const PresentationStatus status = presentation_->Status();
  displayIndex_ = status.display;
  if (displayIndex_ >= 0 && status.hasDesktop) {
    desktopWidth_ = status.desktopWidth;
    desktopHeight_ = status.desktopHeight;
  }
}

// ---------------------------------------------------------------------------------------
// States

HRESULT GlDevice::SetRenderState(uint32_t state, uint32_t value) {
  if (state >= D3DRS_MAX) return D3DERR_INVALIDCALL;
  if (renderStates_[state] != value) {
    renderStates_[state] = value;
    pipelineDirty_ = true;
  }
  return D3D_OK;
}

HRESULT GlDevice::SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value) {
  if (type >= D3DTSS_MAX) return D3DERR_INVALIDCALL;
  if (stage != 0) return D3D_OK;  // only stage 0 is ever drawn with
  if (stageStates_[type] != value) {
    stageStates_[type] = value;
    samplerDirty_ = true;
    pipelineDirty_ = true;
  }
  return D3D_OK;
}

HRESULT GlDevice::SetTransform(uint32_t type, const Matrix4& matrix) {
  if (type == D3DTS_WORLD) world_ = matrix;
  else if (type == D3DTS_VIEW) view_ = matrix;
  else if (type == D3DTS_PROJECTION) projection_ = matrix;
  else return D3DERR_INVALIDCALL;
  transformDirty_ = true;
  return D3D_OK;
}

HRESULT GlDevice::GetTransform(uint32_t type, Matrix4* matrix) {
  if (matrix == nullptr) return D3DERR_INVALIDCALL;
  if (type == D3DTS_WORLD) *matrix = world_;
  else if (type == D3DTS_VIEW) *matrix = view_;
  else if (type == D3DTS_PROJECTION) *matrix = projection_;
  else return D3DERR_INVALIDCALL;
  return D3D_OK;
}

HRESULT GlDevice::SetTexture(uint32_t stage, Texture* texture) {
  if (stage != 0) return D3D_OK;
  if (texture != nullptr && Texture::BytesPerTexel(texture->Format()) == 0) return D3DERR_INVALIDCALL;
  texture_ = texture;
  pipelineDirty_ = true;
  // A texture of one level samples the same with or without a mip filter; without one the
  // rasteriser skips working out the level of detail of every pixel.
  const bool singleLevel = texture != nullptr && texture->LevelCount() == 1;
  if (singleLevel != samplerSingleLevel_) {
    samplerSingleLevel_ = singleLevel;
    samplerDirty_ = true;
  }
  return D3D_OK;
}

HRESULT GlDevice::SetStreamSource(uint32_t /*stream*/, const void* /*buffer*/, uint32_t /*stride*/) {
  return D3D_OK;  // user-memory drawing passes its stride with every draw
}

HRESULT GlDevice::SetVertexShader(uint32_t fvf) {
  fvf_ = fvf;
  return D3D_OK;
}

void GlDevice::ApplyStates() {
  if (transformDirty_) {
    wvp_ = Product(Product(world_, view_), projection_);
    ++transformRevision_;
    transformDirty_ = false;
  }
  if (samplerDirty_) {
    gl_.SamplerParameteri(sampler_, GL_TEXTURE_WRAP_S, AddressMode(stageStates_[D3DTSS_ADDRESSU]));
    gl_.SamplerParameteri(sampler_, GL_TEXTURE_WRAP_T, AddressMode(stageStates_[D3DTSS_ADDRESSV]));
    gl_.SamplerParameteri(sampler_, GL_TEXTURE_MAG_FILTER,
                          Filters(stageStates_[D3DTSS_MAGFILTER]) ? GL_LINEAR : GL_NEAREST);
    gl_.SamplerParameteri(sampler_, GL_TEXTURE_MIN_FILTER,
                          MinifyingFilter(stageStates_[D3DTSS_MINFILTER],
                                          samplerSingleLevel_ ? D3DTEXF_NONE : stageStates_[D3DTSS_MIPFILTER]));
    samplerDirty_ = false;
  }
  if (pipelineDirty_) ApplyPipeline();
  // Uniforms belong to a program: each variant is brought up to date when it is used.
  if (current_ == nullptr) return;
  if (current_->transformRevision != transformRevision_) {
    gl_.UniformMatrix4fv(current_->uWvp, 1, GL_FALSE, wvp_.m);
    current_->transformRevision = transformRevision_;
  }
  const float alphaRef = static_cast<float>(renderStates_[D3DRS_ALPHAREF] & 0xFFu);
  if (current_->alphaRef != alphaRef) {
    gl_.Uniform1f(current_->uAlphaRef, alphaRef);
    current_->alphaRef = alphaRef;
  }
}

void GlDevice::ApplyPipeline() {
  if (renderStates_[D3DRS_ALPHABLENDENABLE]) {
    gl_.Enable(GL_BLEND);
    gl_.BlendFunc(BlendFactor(renderStates_[D3DRS_SRCBLEND]), BlendFactor(renderStates_[D3DRS_DESTBLEND]));
  } else {
    gl_.Disable(GL_BLEND);
  }
  if (renderStates_[D3DRS_ZENABLE] && EnsureDepthBuffer()) {
    gl_.Enable(GL_DEPTH_TEST);
    gl_.DepthFunc(CompareFunction(renderStates_[D3DRS_ZFUNC]));
  } else {
    gl_.Disable(GL_DEPTH_TEST);
  }
  gl_.DepthMask(renderStates_[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
  // Culling by the winding seen on the screen: the picture reaches the screen unmirrored,
  // so Direct3D's counter-clockwise is OpenGL's counter-clockwise.
  switch (renderStates_[D3DRS_CULLMODE]) {
    case D3DCULL_CW:
      gl_.Enable(GL_CULL_FACE);
      gl_.FrontFace(GL_CCW);
      gl_.CullFace(GL_BACK);
      break;
    case D3DCULL_CCW:
      gl_.Enable(GL_CULL_FACE);
      gl_.FrontFace(GL_CCW);
      gl_.CullFace(GL_FRONT);
      break;
    default:
      gl_.Disable(GL_CULL_FACE);
      break;
  }
  // A variant that does not build (it never should: all share one source) leaves the last
  // program in place rather than draw with none.
  ShaderVariant* variant = Variant(ShaderKey());
  if (variant != nullptr && variant != current_) {
    gl_.UseProgram(variant->program);
    current_ = variant;
  }
  pipelineDirty_ = false;
}

// ---------------------------------------------------------------------------------------
// Textures

void GlDevice::PrepareTexture(Texture* texture) {
  if (texture->deviceGeneration != generation_ || texture->deviceHandle == 0) {
    GLuint name = 0;
    gl_.GenTextures(1, &name);
    texture->deviceHandle = name;
    texture->deviceGeneration = generation_;
    texture->uploadedRevision = 0;
  }
  gl_.BindTexture(GL_TEXTURE_2D, texture->deviceHandle);
  if (texture->uploadedRevision == texture->Revision()) return;
  // Pixels given back after an earlier upload (to a device before this one): zero-filled,
  // never whatever the memory held.
  texture->RestorePixels();
  const uint32_t levels = texture->LevelCount();
  for (uint32_t level = 0; level < levels; ++level) {
    const GLsizei w = static_cast<GLsizei>(texture->Width(level));
    const GLsizei h = static_cast<GLsizei>(texture->Height(level));
    if (texture->Format() == D3DFMT_R5G6B5) {
      gl_.TexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), GL_RGB8, w, h, 0, GL_RGB, GL_UNSIGNED_SHORT_5_6_5,
                     texture->Bits(level));
    } else {
      // Memory order blue, green, red, alpha.
      gl_.TexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                     texture->Bits(level));
    }
  }
  gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels - 1));
  // X8R8G8B8 texels are opaque whatever their fourth byte holds.
  gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, texture->Format() == D3DFMT_A8R8G8B8 ? GL_ALPHA : GL_ONE);
  texture->uploadedRevision = texture->Revision();
  // Asked only when dropping: an upload that raised an error keeps its pixels.
  if (dropPixelsAfterUpload_ && gl_.GetError() == GL_NO_ERROR) texture->DropPixels();
}

void GlDevice::ForgetTexture(Texture* texture) {
  if (texture == nullptr) return;
  if (texture_ == texture) {
    texture_ = nullptr;
    pipelineDirty_ = true;
  }
  if (texture->deviceGeneration == generation_ && texture->deviceHandle != 0) {
    const GLuint name = texture->deviceHandle;
    gl_.DeleteTextures(1, &name);
  }
  texture->deviceHandle = 0;
  texture->deviceGeneration = 0;
  texture->uploadedRevision = 0;
}

// ---------------------------------------------------------------------------------------
// Drawing

HRESULT GlDevice::DrawPrimitiveUP(uint32_t primitiveType, uint32_t primitiveCount, const void* vertexData,
                                  uint32_t stride) {
  GLenum mode = GL_TRIANGLES;
  const uint32_t vertices = VerticesFor(primitiveType, primitiveCount, &mode);
  if (vertexData == nullptr || primitiveCount == 0 || vertices == 0 || stride < 12) return D3DERR_INVALIDCALL;
  if (drawingSkipped_) return D3D_OK;
  const size_t bytes = size_t{vertices} * stride;

  ApplyStates();
  if (texture_ != nullptr) PrepareTexture(texture_);

  gl_.BindBuffer(GL_ARRAY_BUFFER, vbo_);
  if (bytes > vboCapacity_) {
    vboCapacity_ = std::max(bytes, vboCapacity_ * 2);
    gl_.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vboCapacity_), nullptr, GL_STREAM_DRAW);
    vboOffset_ = 0;
  } else if (vboOffset_ + bytes > vboCapacity_) {
    // Orphan the full buffer: the driver keeps the old storage until its draws are done.
    gl_.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vboCapacity_), nullptr, GL_STREAM_DRAW);
    vboOffset_ = 0;
  }
  gl_.BufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(vboOffset_), static_cast<GLsizeiptr>(bytes), vertexData);

  // The flexible vertex format's order: position, normal, point size, diffuse, specular, texture.
  size_t offset = vboOffset_;
  auto at = [](size_t o) { return reinterpret_cast<const void*>(o); };
  gl_.EnableVertexAttribArray(0);
  gl_.VertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, static_cast<GLsizei>(stride), at(offset));
  offset += 12;
  if (fvf_ & D3DFVF_NORMAL) offset += 12;
  if (fvf_ & D3DFVF_PSIZE) offset += 4;
  if (fvf_ & D3DFVF_DIFFUSE) {
    gl_.EnableVertexAttribArray(1);
    gl_.VertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, static_cast<GLsizei>(stride), at(offset));
    offset += 4;
  } else {
    gl_.DisableVertexAttribArray(1);
    gl_.VertexAttrib4f(1, 1.0f, 1.0f, 1.0f, 1.0f);  // no diffuse colour means white
  }
  if (fvf_ & D3DFVF_SPECULAR) offset += 4;
  if (fvf_ & D3DFVF_TEX1) {
    gl_.EnableVertexAttribArray(2);
    gl_.VertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, static_cast<GLsizei>(stride), at(offset));
  } else {
    gl_.DisableVertexAttribArray(2);
    gl_.VertexAttrib2f(2, 0.0f, 0.0f);
  }
  gl_.DrawArrays(mode, 0, static_cast<GLsizei>(vertices));
  vboOffset_ += (bytes + 15) & ~size_t{15};
  return D3D_OK;
}

HRESULT GlDevice::Clear(uint32_t /*count*/, const void* /*rects*/, uint32_t flags, D3DCOLOR colour, float z,
                        uint32_t /*stencil*/) {
  if (drawingSkipped_) return D3D_OK;
  GLbitfield mask = 0;
  if (flags & D3DCLEAR_TARGET) {
    gl_.ClearColor(static_cast<float>((colour >> 16) & 0xFF) / 255.0f, static_cast<float>((colour >> 8) & 0xFF) / 255.0f,
                   static_cast<float>(colour & 0xFF) / 255.0f, 1.0f);
    mask |= GL_COLOR_BUFFER_BIT;
  }
  if ((flags & D3DCLEAR_ZBUFFER) && !hasDepth_) {
    pendingDepthClear_ = z;  // for the depth buffer, once a draw makes it
  } else if (flags & D3DCLEAR_ZBUFFER) {
    gl_.ClearDepth(static_cast<double>(z));
    gl_.DepthMask(GL_TRUE);  // clearing ignores the write switch, as on the original device
    pipelineDirty_ = true;
    mask |= GL_DEPTH_BUFFER_BIT;
  }
  if (mask != 0) gl_.Clear(mask);
  return D3D_OK;
}

HRESULT GlDevice::BeginScene() { return D3D_OK; }
HRESULT GlDevice::EndScene() { return D3D_OK; }

void GlDevice::ComposeWindow() {
  if (presentation_->SurfaceCount() == 0) return;
  PresentationSurface* surface = presentation_->Surface(0);
  surface->MakeCurrent();
  ComposeSurface(*surface);
}

void GlDevice::ComposeSurface(const PresentationSurface& surface) {
  int32_t drawableWidth = 0, drawableHeight = 0;
  surface.PixelSize(&drawableWidth, &drawableHeight);
  const std::vector<PixelRect>& pictureAreas = surface.PictureAreas();
  gl_.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  gl_.ColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  gl_.ClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  auto toGl = [&](const PixelRect& target) {
    // OpenGL counts rows from the bottom of the drawable.
    return PixelRect{target.x, static_cast<int32_t>(drawableHeight - (target.y + target.h)), target.w, target.h};
  };
  // At the picture's own size it is copied. Scaled, it is drawn as a textured rectangle
  // rather than blitted: a software rasteriser scales it for less than a scaling blit costs,
  // to within one level of the same pixels.
  auto show = [&](const PixelRect& target) {
    if (target.w <= 0 || target.h <= 0 || width_ == 0 || height_ == 0) return;
    const PixelRect at = toGl(target);
    if (static_cast<uint32_t>(target.w) == width_ && static_cast<uint32_t>(target.h) == height_) {
      gl_.BindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
      gl_.BlitFramebuffer(0, 0, static_cast<GLint>(width_), static_cast<GLint>(height_), at.x, at.y, at.x + at.w,
                          at.y + at.h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
      return;
    }
    gl_.Viewport(at.x, at.y, at.w, at.h);
    gl_.UseProgram(presentProgram_);
    gl_.BindTexture(GL_TEXTURE_2D, colourTexture_);
    gl_.BindSampler(0, presentSampler_);
    gl_.Disable(GL_BLEND);
    gl_.Disable(GL_DEPTH_TEST);
    gl_.Disable(GL_CULL_FACE);
    // The rectangle's corners come from the vertex numbers; the stream's arrays (each draw
    // sets them again) must not be read past their end.
    for (GLuint attribute = 0; attribute < 3; ++attribute) gl_.DisableVertexAttribArray(attribute);
    gl_.DrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    // Drawing goes on into the back buffer: nothing of it stays bound to be sampled.
    gl_.BindTexture(GL_TEXTURE_2D, 0);
    gl_.BindSampler(0, sampler_);
    gl_.UseProgram(current_ != nullptr ? current_->program : 0);
    pipelineDirty_ = true;
  };
  if (pictureAreas.empty() && drawableWidth > 0 && drawableHeight > 0 && width_ > 0 && height_ > 0) {
    // One picture: only the bars are cleared, since a software rasteriser pays for every
    // pixel it clears and the picture covers the rest.
    const PixelRect picture = LetterboxRect(PixelRect{0, 0, drawableWidth, drawableHeight},
                                            static_cast<int32_t>(width_), static_cast<int32_t>(height_));
    const PixelRect at = toGl(picture);
    ClearWindowBars(at.x, at.y, at.w, at.h, drawableWidth, drawableHeight);
    show(picture);
  } else if (!CoversSurface(pictureAreas, drawableWidth, drawableHeight)) {
    // Several monitors: black everywhere, the picture on each.
    gl_.Clear(GL_COLOR_BUFFER_BIT);
  }
  for (const PixelRect& area : pictureAreas) show(area);
  gl_.ColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
  gl_.BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  // The first time the context meets a window its viewport becomes that window's size:
  // drawing goes on into the back buffer's.
  gl_.Viewport(0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_));
}

void GlDevice::ClearWindowBars(int32_t x, int32_t y, int32_t w, int32_t h, int32_t windowWidth,
                               int32_t windowHeight) {
  const int32_t bars[4][4] = {
      {0, 0, x, windowHeight},                              // left
      {x + w, 0, windowWidth - x - w, windowHeight},        // right
      {0, 0, windowWidth, y},                               // bottom
      {0, y + h, windowWidth, windowHeight - y - h},        // top
  };
  gl_.Enable(GL_SCISSOR_TEST);
  for (const auto& bar : bars) {
    if (bar[2] <= 0 || bar[3] <= 0) continue;
    gl_.Scissor(bar[0], bar[1], bar[2], bar[3]);
    gl_.Clear(GL_COLOR_BUFFER_BIT);
  }
  gl_.Disable(GL_SCISSOR_TEST);
}

void GlDevice::Finish() { gl_.Finish(); }

HRESULT GlDevice::Present() {
  const size_t count = presentation_->SurfaceCount();
  for (size_t i = 0; i < count; ++i) {
    PresentationSurface* surface = presentation_->Surface(i);
    if (!surface->MakeCurrent()) continue;
    ComposeSurface(*surface);
    surface->Swap();
  }
  if (count != 1) presentation_->MakeContextCurrent();
  return D3D_OK;
}

HRESULT GlDevice::TestCooperativeLevel() {
  const PresentationStatus status = presentation_->Status();
  if (status.hidden) {
    // A window that was never shown yet (still loading) has lost nothing.
    if (everShown_) lost_ = true;
    return lost_ ? D3DERR_DEVICELOST : D3D_OK;
  }
  everShown_ = true;
  if (!lost_) {
    if (status.display != displayIndex_) {
      lost_ = true;
    } else if (status.display >= 0 && status.hasDesktop &&
               (status.desktopWidth != desktopWidth_ || status.desktopHeight != desktopHeight_)) {
      lost_ = true;
    }
  }
  return lost_ ? D3DERR_DEVICENOTRESET : D3D_OK;
}

HRESULT GlDevice::Reset(D3DPRESENT_PARAMETERS* params) {
  if (params == nullptr) return D3DERR_INVALIDCALL;
  presentation_->MakeContextCurrent();
  if (!BuildBackBuffer(params->BackBufferWidth, params->BackBufferHeight, params->EnableAutoDepthStencil != 0,
                       params->AutoDepthStencilFormat)) {
    return D3DERR_NOTAVAILABLE;
  }
  ResetStates(params->EnableAutoDepthStencil != 0);
  presentation_->SetSwapInterval(params->FullScreen_PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
  lost_ = false;
  RememberDisplay();
  return D3D_OK;
}

// ---------------------------------------------------------------------------------------
// Reading pixels back

bool GlDevice::ReadPixels(GLuint framebuffer, uint32_t width, uint32_t height, std::vector<uint8_t>* rgba) {
  if (rgba == nullptr || width == 0 || height == 0) return false;
  const size_t rowBytes = size_t{width} * 4;
  rgba->resize(rowBytes * height);
  gl_.BindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
  gl_.ReadBuffer(framebuffer == 0 ? GL_BACK : GL_COLOR_ATTACHMENT0);
  gl_.ReadPixels(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height), GL_RGBA, GL_UNSIGNED_BYTE,
                 rgba->data());
  gl_.BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  // OpenGL's rows run bottom to top.
  uint8_t* bits = rgba->data();
  for (uint32_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
    std::swap_ranges(bits + top * rowBytes, bits + (top + 1) * rowBytes, bits + bottom * rowBytes);
  }
  for (size_t i = 3; i < rgba->size(); i += 4) (*rgba)[i] = 255;
  return gl_.GetError() == GL_NO_ERROR;
}

bool GlDevice::ReadBackBuffer(std::vector<uint8_t>* rgba, uint32_t* width, uint32_t* height) {
  if (width != nullptr) *width = width_;
  if (height != nullptr) *height = height_;
  return ReadPixels(framebuffer_, width_, height_, rgba);
}

bool GlDevice::ReadWindow(std::vector<uint8_t>* rgba, uint32_t* width, uint32_t* height) {
  int32_t w = 0, h = 0;
  if (presentation_->SurfaceCount() > 0) presentation_->Surface(0)->PixelSize(&w, &h);
  if (width != nullptr) *width = static_cast<uint32_t>(w);
  if (height != nullptr) *height = static_cast<uint32_t>(h);
  if (w <= 0 || h <= 0) return false;
  return ReadPixels(0, static_cast<uint32_t>(w), static_cast<uint32_t>(h), rgba);
}

// ---------------------------------------------------------------------------------------
// The adapter

GlAdapter::GlAdapter(const Presentation& presentation) : modes_(presentation.DisplayModes()) {
  bool usable = false;
  for (const D3DDISPLAYMODE& mode : modes_) usable = usable || IsUsableDisplayMode(mode);
  if (!usable) {
    modes_.push_back({640, 480, 60, D3DFMT_X8R8G8B8});
    modes_.push_back({800, 600, 60, D3DFMT_X8R8G8B8});
  }
}

uint32_t GlAdapter::GetAdapterModeCount() { return static_cast<uint32_t>(modes_.size()); }

HRESULT GlAdapter::EnumAdapterModes(uint32_t index, D3DDISPLAYMODE* mode) {
  if (index >= modes_.size() || mode == nullptr) return D3DERR_INVALIDCALL;
  *mode = modes_[index];
  return D3D_OK;
}

HRESULT GlAdapter::CheckDeviceFormat(D3DFORMAT adapterFormat, uint32_t usage, D3DRESOURCETYPE type,
                                     D3DFORMAT checkFormat) {
  if (!IsBackBufferFormat(adapterFormat)) return D3DERR_NOTAVAILABLE;
  if (usage & D3DUSAGE_DEPTHSTENCIL) {
    return type == D3DRTYPE_SURFACE && IsDepthFormatWeCarry(checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
  }
  return Texture::BytesPerTexel(checkFormat) != 0 ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT GlAdapter::CheckDepthStencilMatch(D3DFORMAT adapterFormat, D3DFORMAT renderTargetFormat,
                                          D3DFORMAT depthStencilFormat) {
  return IsBackBufferFormat(adapterFormat) && IsBackBufferFormat(renderTargetFormat) &&
                 IsDepthFormatWeCarry(depthStencilFormat)
             ? D3D_OK
             : D3DERR_NOTAVAILABLE;
}

std::unique_ptr<GraphicsDevice> GlAdapter::CreateDevice(D3DPRESENT_PARAMETERS* params) {
  if (params == nullptr) return nullptr;
  return GlDevice::Create(static_cast<Presentation*>(params->hDeviceWindow), *params);
}

const char* GlDevice::RendererName() const {
  const GLubyte* name = gl_.GetString != nullptr ? gl_.GetString(GL_RENDERER) : nullptr;
  return name != nullptr ? reinterpret_cast<const char*>(name) : "";
}

}  // namespace qh
