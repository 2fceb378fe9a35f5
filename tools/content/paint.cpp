// Brush strokes and the saver's sprite drawing, in software.
#include "tools/content/paint.h"

#include <algorithm>
#include <cmath>

namespace qhc {

void FillEllipse(Image& img, float cx, float cy, float rx, float ry, float angle, Rgb colour, float opacity,
                 float softness) {
  const float r = std::max(rx, ry) + softness + 1;
  const int x0 = std::max(0, int(cx - r)), x1 = std::min(img.w - 1, int(cx + r) + 1);
  const int y0 = std::max(0, int(cy - r)), y1 = std::min(img.h - 1, int(cy + r) + 1);
  const float ca = std::cos(angle), sa = std::sin(angle);
  const float minR = std::min(rx, ry);
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      const float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
      const float lx = dx * ca + dy * sa, ly = -dx * sa + dy * ca;
      const float d = std::sqrt((lx * lx) / (rx * rx) + (ly * ly) / (ry * ry));
      // Distance to the rim in pixels, approximately.
      const float edge = (1 - d) * minR;
      const float cov = Clamp01(edge / softness + 0.5f);
      if (cov > 0) img.Over(x, y, colour, cov * opacity);
    }
  }
}

void TaperStroke(Image& img, float x0, float y0, float x1, float y1, float w0, float w1, Rgb colour, float opacity) {
  const float r = std::max(w0, w1) * 0.5f + 1.5f;
  const int bx0 = std::max(0, int(std::min(x0, x1) - r)), bx1 = std::min(img.w - 1, int(std::max(x0, x1) + r) + 1);
  const int by0 = std::max(0, int(std::min(y0, y1) - r)), by1 = std::min(img.h - 1, int(std::max(y0, y1) + r) + 1);
  const float dx = x1 - x0, dy = y1 - y0;
  const float len2 = std::max(dx * dx + dy * dy, 1e-6f);
  for (int y = by0; y <= by1; ++y) {
    for (int x = bx0; x <= bx1; ++x) {
      const float px = x + 0.5f - x0, py = y + 0.5f - y0;
      const float t = std::clamp((px * dx + py * dy) / len2, 0.0f, 1.0f);
      const float ex = px - t * dx, ey = py - t * dy;
      const float dist = std::sqrt(ex * ex + ey * ey);
      const float half = Lerp(w0, w1, t) * 0.5f;
      float cov = Clamp01(half - dist + 0.5f);
      if (half < 0.5f) cov *= half * 2;  // hairlines fade rather than alias
      if (cov > 0) img.Over(x, y, colour, cov * opacity);
    }
  }
}

void Stroke(Image& img, float x0, float y0, float x1, float y1, float width, Rgb colour, float opacity) {
  TaperStroke(img, x0, y0, x1, y1, width, width, colour, opacity);
}

void DrawSprite(Image& canvas, const Image& tex, float cx, float cy, float w, float h, float angleDeg, float pivotX,
                float pivotY, float u0, float v0, float u1, float v1, Rgb tint, float alpha, Blend blend,
                std::vector<float>* coverage) {
  const float rad = angleDeg * 3.14159265f / 180.0f;
  const float ca = std::cos(rad), sa = std::sin(rad);
  // Bounding box of the rotated rectangle on the screen.
  float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
  for (int k = 0; k < 4; ++k) {
    const float lx = cx + ((k & 1) ? w : -w) * 0.5f - pivotX, ly = cy + ((k & 2) ? h : -h) * 0.5f - pivotY;
    const float X = pivotX + lx * ca - ly * sa, Y = pivotY + lx * sa + ly * ca;
    minX = std::min(minX, X); maxX = std::max(maxX, X);
    minY = std::min(minY, Y); maxY = std::max(maxY, Y);
  }
  const int px0 = std::max(0, int(std::floor(minX + 400))), px1 = std::min(canvas.w - 1, int(std::ceil(maxX + 400)));
  const int py0 = std::max(0, int(std::floor(300 - maxY))), py1 = std::min(canvas.h - 1, int(std::ceil(300 - minY)));
  for (int py = py0; py <= py1; ++py) {
    for (int px = px0; px <= px1; ++px) {
      const float X = px + 0.5f - 400 - pivotX, Y = 300 - (py + 0.5f) - pivotY;
      const float lx = pivotX + X * ca + Y * sa, ly = pivotY - X * sa + Y * ca;
      const float s = (lx - (cx - w * 0.5f)) / w, t = ((cy + h * 0.5f) - ly) / h;
      if (s < 0 || s >= 1 || t < 0 || t >= 1) continue;
      const Sample smp = SampleWrap(tex, u0 + s * (u1 - u0), v0 + t * (v1 - v0));
      const Rgb src = smp.c * tint;
      Rgb& dst = canvas.At(px, py);
      switch (blend) {
        case Blend::Opaque: dst = src; break;
        case Blend::Alpha: dst = Mix(dst, src, smp.a * alpha); break;
        case Blend::Additive: dst = dst + src * src; break;
      }
      if (coverage) {
        float& cv = (*coverage)[size_t(py) * canvas.w + px];
        cv = std::max(cv, smp.a * alpha);
      }
    }
  }
}

}  // namespace qhc
