// The transform layer of the view tree: position, origin, scale and two sets of rotation
// angles, composed down the tree through one working matrix shared by the whole tree and saved
// and restored on the matrix stack around each group's children.
#pragma once

#include <cstdint>

#include "dxdraw/matrix.h"
#include "dxdraw/view.h"

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

    std::uint32_t GetUserValue() const { return m_UserValue; }
    void SetUpdateCallback(UpdateCallback callback) { m_pfnUpdate = callback; }
    const DxDraw::Vector3& GetPosition() const { return m_Position; }
    void SetPosition3(const DxDraw::Vector3& position) { m_Position = position; }
    const DxDraw::Vector3& GetOrigin() const { return m_Origin; }
    void SetOrigin(const DxDraw::Vector3& origin) { m_Origin = origin; }
    const DxDraw::Vector3& GetScale() const { return m_Scale; }
    void SetScale(const DxDraw::Vector3& scale) { m_Scale = scale; }
    const AngleTriple& GetRotation() const { return m_Rotation; }
    void SetRotation(const AngleTriple& angles) { m_Rotation = angles; }
    const AngleTriple& GetOrbit() const { return m_Orbit; }
    void SetOrbit(const AngleTriple& angles) { m_Orbit = angles; }
    std::uint32_t GetTransformFlags() const { return m_TransformFlags; }
    void SetTransformFlags(std::uint32_t flags) { m_TransformFlags = flags; }
    DxDraw::Matrix* GetWorkingMatrix() const { return m_pMatrix; }
    const TransformSums& GetSums() const { return m_Sums; }

protected:
    // The world transform of the parent chain, root first, into m and sums.
    void ParentWorldTransform(DxDraw::Matrix* m, TransformSums* sums);
    // The screen position of the view's own position.
    POINT ScreenPosition();

    DxDraw::Matrix* m_pMatrix;
    TransformSums m_Sums;

private:
    std::uint32_t m_UserValue;
    UpdateCallback m_pfnUpdate = nullptr;
    DxDraw::Vector3 m_Position;
    DxDraw::Vector3 m_Origin;
    DxDraw::Vector3 m_Scale{1, 1, 1};
    AngleTriple m_Rotation;
    AngleTriple m_Orbit;
    std::uint32_t m_TransformFlags = kApplyOrigin | kApplyScale;
};

class DrawGroup : public DrawView, public virtual ssGroup {
public:
    DrawGroup() : DrawView(0) {}

    std::uint32_t HandleMessage(std::uint32_t msg, std::uintptr_t a, std::uintptr_t b) override;
    void Update() override;
    void Render(DrawRequest* request) override;
    void GetScreenRect(RECT* out) override;

    std::uint16_t GetWidth() const { return m_Width; }
    std::uint16_t GetHeight() const { return m_Height; }
    void SetSize(std::uint16_t width, std::uint16_t height) {
        m_Width = width;
        m_Height = height;
    }

protected:
    // Sets up the working matrix for the children (ResetAccumulated, Accumulate, push, build),
    // runs fn, and restores the matrix.
    template <class Fn>
    void WithChildTransform(Fn&& fn) {
        ResetAccumulated();
        Accumulate(&m_Sums);
        DxDraw::PushMatrix(*m_pMatrix);
        BuildMatrix(m_pMatrix);
        try {
            fn();
        } catch (...) {
            DxDraw::PopMatrix(*m_pMatrix);
            throw;
        }
        DxDraw::PopMatrix(*m_pMatrix);
    }

private:
    std::uint16_t m_Width = 0;
    std::uint16_t m_Height = 0;
};
