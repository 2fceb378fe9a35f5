// Thin helpers over the one device: named feature switches, three blend modes, the
// transforms, the two projection matrices, clearing and the frame bracket.
// All of them except the matrix builders need Device to exist; none checks results.
#pragma once
#include <cstdint>

#include "render/d3d_types.h"
#include "core/math.h"

namespace qh {

enum RenderFeature : int32_t {
  Lighting = 0,
  DepthTest = 1,
  DepthWrite = 2,
  Orthographic = 3,
  AlphaBlend = 4,
  AlphaTest = 5,
  PointSprite = 6,
  LinearFiltering = 7,
};

enum BlendMode : int32_t { Alpha = 0, Additive = 1, Opaque = 2 };

// Identity at start; recomputed by UpdatePerspective, applied by DisableFeature(Orthographic).
extern Matrix4 PerspectiveMatrix;

void SetDeviceRenderState(uint32_t state, uint32_t value);
void EnableFeature(int32_t feature);   // values outside 0-7 do nothing
void DisableFeature(int32_t feature);
void SetBlendMode(int32_t mode);       // values outside 0-2 do nothing
void SetWorldTransform(const Matrix4* matrix);  // nullptr means identity
void SetViewTransform(const Matrix4* matrix);   // nullptr means identity
void SetProjectionTransform(const Matrix4& matrix);
void GetViewTransform(Matrix4* matrix);
void GetProjectionTransform(Matrix4* matrix);
void BuildOrthoMatrix(Matrix4& m, float width, float height, float zNear, float zFar);
void SetOrthoProjection(float width, float height, float zNear, float zFar);
void BuildPerspectiveMatrix(Matrix4& m, float fovY, float aspect, float zNear, float zFar);
// From the main window's client size; a zero height (a minimised window) leaves the matrix as it was.
void UpdatePerspective(uint32_t clientWidth, uint32_t clientHeight);
void ClearTarget(D3DCOLOR colour);
void BeginFrame();
void EndFrame();

// Float-valued render states travel as the bit pattern of the float.
uint32_t FloatBits(float value);

}  // namespace qh
