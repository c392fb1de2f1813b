#include "dxdraw/draw_view.h"

#include <cmath>

using DxDraw::Matrix;
using DxDraw::Vector3;

namespace {

Vector3 AnglesToFloat(const AngleTriple& a) {
    return Vector3{static_cast<float>(a.x), static_cast<float>(a.y), static_cast<float>(a.z)};
}

void AddTo(Vector3& sum, const Vector3& v) {
    sum.x += v.x;
    sum.y += v.y;
    sum.z += v.z;
}

}  // namespace

Matrix& RootMatrix() {
    static Matrix root = DxDraw::kIdentityMatrix;
    return root;
}

DrawView::DrawView(std::uint32_t userValue) : matrix_(&RootMatrix()), userValue_(userValue) { ResetTransform(); }

void DrawView::ResetTransform() {
    position_ = {};
    origin_ = {};
    scale_ = {1, 1, 1};
    rotation_ = {};
    orbit_ = {};
    transformFlags_ = kApplyOrigin | kApplyScale;
}

std::uint32_t DrawView::HandleMessage(std::uint32_t msg, std::uintptr_t a, std::uintptr_t b) {
    if (msg == kMsgUpdateCallback) {
        if (update_) update_(this);
        return 0;
    }
    return ssView::HandleMessage(msg, a, b);
}

void DrawView::Update() {
    if (update_) update_(this);
}

void DrawView::SetPositionPt(const POINT* point) {
    if (!point) return;
    position_.x = static_cast<float>(point->x);
    position_.y = static_cast<float>(point->y);
}

void DrawView::SetPosition(int x, int y) {
    position_.x = static_cast<float>(x);
    position_.y = static_cast<float>(y);
}

void DrawView::SetPositionF(float x, float y) {
    position_.x = x;
    position_.y = y;
}

void DrawView::BuildMatrix(Matrix* m) {
    if (!m) return;
    if (transformFlags_ & kApplyOrbit) DxDraw::RotateMatrixXYZ(*m, orbit_.x, orbit_.y, orbit_.z);
    DxDraw::TranslateMatrixV(*m, position_);
    if (transformFlags_ & kApplyRotation) DxDraw::RotateMatrixXYZ(*m, rotation_.x, rotation_.y, rotation_.z);
    if (transformFlags_ & kApplyScale) DxDraw::ScaleMatrixV(*m, scale_);
    if (transformFlags_ & kApplyOrigin) DxDraw::TranslateMatrix(*m, -origin_.x, -origin_.y, -origin_.z);
}

void DrawView::Accumulate(TransformSums* sums) {
    if (!sums) return;
    AddTo(sums->position, position_);
    AddTo(sums->origin, origin_);
    sums->scale.x *= scale_.x;
    sums->scale.y *= scale_.y;
    sums->scale.z *= scale_.z;
    AddTo(sums->rotation, AnglesToFloat(rotation_));
    AddTo(sums->orbit, AnglesToFloat(orbit_));
}

void DrawView::ResetAccumulated() {
    matrix_ = &RootMatrix();
    sums_ = TransformSums{};
    if (ssGroup* parent = GetParent())
        parent->HandleMessage(kMsgGetMatrix, reinterpret_cast<std::uintptr_t>(&matrix_),
                              reinterpret_cast<std::uintptr_t>(&sums_));
}

void DrawView::ParentWorldTransform(Matrix* m, TransformSums* sums) {
    *m = DxDraw::kIdentityMatrix;
    *sums = TransformSums{};
    if (ssGroup* parent = GetParent())
        parent->HandleMessage(kMsgWorldTransform, reinterpret_cast<std::uintptr_t>(m),
                              reinterpret_cast<std::uintptr_t>(sums));
}

POINT DrawView::ScreenPosition() {
    Matrix m;
    TransformSums sums;
    ParentWorldTransform(&m, &sums);
    const DxDraw::ScreenPoint p = DxDraw::TransformPoint(m, position_);
    return POINT{p.x, p.y};
}

void DrawView::LocalToScreen(POINT* points, int count) {
    const POINT at = ScreenPosition();
    for (int i = 0; i < count; ++i) points[i].x += at.x, points[i].y += at.y;
}

void DrawView::LocalToScreenRect(RECT* rect) {
    if (!rect) return;
    const POINT at = ScreenPosition();
    *rect = OffsetRect(*rect, at.x, at.y);
}

void DrawView::ScreenToLocal(POINT* points, int count) {
    POINT zero{};
    LocalToScreen(&zero, 1);
    for (int i = 0; i < count; ++i) points[i].x -= zero.x, points[i].y -= zero.y;
}

void DrawView::ScreenToLocalRect(RECT* rect) {
    if (!rect) return;
    POINT zero{};
    LocalToScreen(&zero, 1);
    *rect = OffsetRect(*rect, -zero.x, -zero.y);
}

std::uint32_t DrawGroup::HandleMessage(std::uint32_t msg, std::uintptr_t a, std::uintptr_t b) {
    switch (msg) {
        case kMsgUpdateCallback: return DrawView::HandleMessage(msg, a, b);
        case kMsgGetMatrix:
            if (a) *reinterpret_cast<Matrix**>(a) = matrix_;
            if (b) *reinterpret_cast<TransformSums*>(b) = sums_;
            return 0;
        case kMsgWorldTransform:
            if (ssGroup* parent = GetParent()) parent->HandleMessage(msg, a, b);
            BuildMatrix(reinterpret_cast<Matrix*>(a));
            Accumulate(reinterpret_cast<TransformSums*>(b));
            return 0;
        case kMsgHitTest: {
            if (!IsVisible() || !a || !b) return 0;
            auto* point = reinterpret_cast<POINT*>(a);
            auto* result = reinterpret_cast<ssView**>(b);
            const POINT saved = *point;
            point->x -= static_cast<std::int32_t>(GetPosition().x);
            point->y -= static_cast<std::int32_t>(GetPosition().y);
            *result = nullptr;
            for (ssView* child = GetLastChild(); child; child = child->GetPrevSibling()) {
                child->HandleMessage(msg, a, b);
                if (*result) return 1;
            }
            *point = saved;
            return 0;
        }
        default: return ssGroup::HandleMessage(msg, a, b);
    }
}

void DrawGroup::Update() {
    DrawView::Update();
    ssGroup::Update();
}

void DrawGroup::Render(DrawRequest* request) {
    if (!IsVisible()) return;
    WithChildTransform([&] { ssGroup::Render(request); });
}

void DrawGroup::GetScreenRect(RECT* out) {
    if (!out) return;
    Matrix m;
    TransformSums sums;
    ParentWorldTransform(&m, &sums);
    const DxDraw::ScreenPoint p = DxDraw::TransformPoint(m, GetPosition());
    const float sx = GetScale().x * sums.scale.x;
    const float sy = GetScale().y * sums.scale.y;
    *out = RECT{p.x, p.y, p.x + static_cast<std::int32_t>(width_ * sx), p.y + static_cast<std::int32_t>(height_ * sy)};
}
