// The transform layer of the view tree: position, origin, scale and two sets of rotation
// angles, composed down the tree through one working matrix shared by the whole tree and saved
// and restored on the matrix stack around each group's children.
#pragma once

#include <cstdint>

#include "dxdraw/matrix.h"
#include "dxdraw/view.h"
#include "lib/scope_guard.h"

// A view's own transform values summed (scale: multiplied) with those of all its ancestors.
struct TransformSums {
    DxDraw::Vector3 position;
    DxDraw::Vector3 origin;
    DxDraw::Vector3 scale{1, 1, 1};
    DxDraw::Vector3 rotation;
    DxDraw::Vector3 orbit;
};
static_assert(sizeof(TransformSums) == 15 * sizeof(float));

struct AngleTriple {
    std::int32_t x = 0, y = 0, z = 0;
    friend bool operator==(const AngleTriple&, const AngleTriple&) = default;
};

// The identity matrix every pass starts from; the tree's working matrix unless a group has
// handed out its own.
DxDraw::Matrix& RootMatrix();

class DrawView : public virtual ssView {
public:
    using UpdateCallback = void (*)(DrawView* view);

    enum : std::uint32_t {
        kApplyOrigin = 1,
        kApplyScale = 2,
        kApplyRotation = 4,
        kApplyOrbit = 8,
    };

    explicit DrawView(std::uint32_t userValue = 0);

    std::uint32_t HandleMessage(std::uint32_t msg, std::uintptr_t a, std::uintptr_t b) override;
    void Update() override;

    // Position setters; the drawable layer makes them mark the view dirty.
    virtual void SetPositionPt(const POINT* point);
    virtual void SetPosition(int x, int y);
    virtual void SetPositionF(float x, float y);
    // Groups only: the rectangle the group covers on screen; views leave `out` as it is.
    virtual void GetScreenRect(RECT*) {}
    // Adds the view's screen position to each point (a translation only).
    virtual void LocalToScreen(POINT* points, int count);
    virtual void LocalToScreenRect(RECT* rect);
    virtual void ScreenToLocal(POINT* points, int count);
    virtual void ScreenToLocalRect(RECT* rect);
    // Applies orbit, position, rotation, scale and origin to m, as the flags say.
    virtual void BuildMatrix(DxDraw::Matrix* m);
    // Adds this view's values to the sums.
    virtual void Accumulate(TransformSums* sums);

    // Working matrix = the root; sums cleared; then the parent's matrix and sums, if any.
    void ResetAccumulated();
    // Position, origin, rotation and orbit 0, scale 1, flags kApplyOrigin | kApplyScale.
    void ResetTransform();

    std::uint32_t GetUserValue() const { return userValue_; }
    void SetUpdateCallback(UpdateCallback callback) { update_ = callback; }
    // These setters tell TransformChanged, so that the drawable layer repaints what moved.
    const DxDraw::Vector3& GetPosition() const { return position_; }
    void SetPosition3(const DxDraw::Vector3& position) { SetTransformValue(position_, position); }
    const DxDraw::Vector3& GetOrigin() const { return origin_; }
    void SetOrigin(const DxDraw::Vector3& origin) { SetTransformValue(origin_, origin); }
    const DxDraw::Vector3& GetScale() const { return scale_; }
    void SetScale(const DxDraw::Vector3& scale) { SetTransformValue(scale_, scale); }
    const AngleTriple& GetRotation() const { return rotation_; }
    void SetRotation(const AngleTriple& angles) { SetTransformValue(rotation_, angles); }
    const AngleTriple& GetOrbit() const { return orbit_; }
    void SetOrbit(const AngleTriple& angles) { SetTransformValue(orbit_, angles); }
    std::uint32_t GetTransformFlags() const { return transformFlags_; }
    void SetTransformFlags(std::uint32_t flags) { SetTransformValue(transformFlags_, flags); }
    DxDraw::Matrix* GetWorkingMatrix() const { return matrix_; }
    const TransformSums& GetSums() const { return sums_; }

protected:
    // A transform value changed; nothing to do on this layer.
    virtual void TransformChanged() {}
    // The world transform of the parent chain, root first, into m and sums.
    void ParentWorldTransform(DxDraw::Matrix* m, TransformSums* sums);
    // The screen position of the view's own position.
    POINT ScreenPosition();

    DxDraw::Matrix* matrix_;
    TransformSums sums_;

private:
    template <class T>
    void SetTransformValue(T& field, const T& value) {
        if (field == value) return;
        field = value;
        TransformChanged();
    }

    std::uint32_t userValue_;
    UpdateCallback update_ = nullptr;
    DxDraw::Vector3 position_;
    DxDraw::Vector3 origin_;
    DxDraw::Vector3 scale_{1, 1, 1};
    AngleTriple rotation_;
    AngleTriple orbit_;
    std::uint32_t transformFlags_ = kApplyOrigin | kApplyScale;
};

class DrawGroup : public DrawView, public virtual ssGroup {
public:
    DrawGroup() : DrawView(0) {}

    std::uint32_t HandleMessage(std::uint32_t msg, std::uintptr_t a, std::uintptr_t b) override;
    void Update() override;
    void Render(DrawRequest* request) override;
    void GetScreenRect(RECT* out) override;

    std::uint16_t GetWidth() const { return width_; }
    std::uint16_t GetHeight() const { return height_; }
    void SetSize(std::uint16_t width, std::uint16_t height) {
        width_ = width;
        height_ = height;
    }

protected:
    // Sets up the working matrix for the children (ResetAccumulated, Accumulate, push, build),
    // runs fn, and restores the matrix.
    template <class Fn>
    void WithChildTransform(Fn&& fn) {
        ResetAccumulated();
        Accumulate(&sums_);
        DxDraw::PushMatrix(*matrix_);
        ScopeExit pop([this] { DxDraw::PopMatrix(*matrix_); });
        BuildMatrix(matrix_);
        fn();
    }

private:
    std::uint16_t width_ = 0;
    std::uint16_t height_ = 0;
};
