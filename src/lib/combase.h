// Reference-counted objects in the COM manner, without a COM run time, and counted holders.
//
// Interfaces derive from IUnknown. CComImpl<I> objects are born with one reference (the
// creator's) and delete themselves when Release brings the count to 0; CComBaseT<IUnknown>
// adds aggregation through an optional outer object. ComPtr<T> holds one reference for RAII.
#pragma once

#include <atomic>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

using HRESULT = std::int32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);

struct GUID {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};
using IID = GUID;

// 1 when the two identifiers are equal byte for byte, else 0.
int IsEqualGUID(const GUID& a, const GUID& b);

inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class IUnknown {
public:
    static constexpr const IID& kIid = IID_IUnknown;
    virtual HRESULT QueryInterface(const IID& iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

// Counting base with aggregation: with an outer object the IUnknown three are forwarded to it.
template <class Base = IUnknown>
class CComBaseT : public Base {
public:
    explicit CComBaseT(IUnknown* outer = nullptr) : outer_(outer) {}
    CComBaseT(const CComBaseT&) = delete;
    CComBaseT& operator=(const CComBaseT&) = delete;
    virtual ~CComBaseT() = default;

    HRESULT QueryInterface(const IID& iid, void** out) override {
        return outer_ ? outer_->QueryInterface(iid, out) : InternalQueryInterface(iid, out);
    }
    ULONG AddRef() override { return outer_ ? outer_->AddRef() : InternalAddRef(); }
    ULONG Release() override { return outer_ ? outer_->Release() : InternalRelease(); }

    virtual HRESULT InternalQueryInterface(const IID& iid, void** out) {
        if (IsEqualGUID(iid, IID_IUnknown)) {
            AddRef();
            *out = static_cast<IUnknown*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    virtual ULONG InternalAddRef() { return static_cast<ULONG>(count_.fetch_add(1) + 1); }
    virtual ULONG InternalRelease() {
        LONG current = count_.load();
        do {
            if (current == 0) return 0;
        } while (!count_.compare_exchange_weak(current, current - 1));
        if (current - 1 != 0) return static_cast<ULONG>(current - 1);
        delete this;
        return 0;
    }

    LONG ReferenceCount() const { return count_.load(); }

protected:
    IUnknown* outer_;
    std::atomic<LONG> count_{0};
};

// Reports the over-release of a CComImpl object (an assertion, never a deletion).
void ReportOverRelease();

// Counting base without aggregation; born with the creator's reference.
template <class I>
class CComImpl : public I {
public:
    CComImpl() = default;
    CComImpl(const CComImpl&) = delete;
    CComImpl& operator=(const CComImpl&) = delete;
    virtual ~CComImpl() = default;

    HRESULT QueryInterface(const IID& iid, void** out) override {
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, I::kIid)) {
            AddRef();
            *out = static_cast<I*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return static_cast<ULONG>(count_.fetch_add(1) + 1); }
    ULONG Release() override {
        LONG current = count_.load();
        do {
            if (current == 0) {
                ReportOverRelease();
                return 0;
            }
        } while (!count_.compare_exchange_weak(current, current - 1));
        if (current - 1 != 0) return static_cast<ULONG>(current - 1);
        delete this;
        return 0;
    }

    LONG ReferenceCount() const { return count_.load(); }

private:
    std::atomic<LONG> count_{1};
};

// Holds one reference to an interface; releases it when it goes.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes over a reference the caller already owns (a factory's count of 1).
    static ComPtr Adopt(T* p) {
        ComPtr r;
        r.p_ = p;
        return r;
    }
    // Takes a new reference of its own.
    static ComPtr Share(T* p) {
        if (p) p->AddRef();
        return Adopt(p);
    }
    ComPtr(const ComPtr& o) : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    template <class U>
    requires std::is_convertible_v<U*, T*> ComPtr(ComPtr<U>&& o)
    noexcept : p_(o.Detach()) {}
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    void Reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    T* Detach() { return std::exchange(p_, nullptr); }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For factories that write an owned reference through an out parameter.
    T** Receive() {
        Reset();
        return &p_;
    }

private:
    T* p_ = nullptr;
};

// Releases the interface held in a slot, when there is one, and empties the slot.
template <class T>
void ReleaseInterface(T*& slot) {
    if (T* p = std::exchange(slot, nullptr)) p->Release();
}

// Type-erased destroy policies for counted holders.
class deleter_base {
public:
    virtual ~deleter_base() = default;
    virtual void Destroy(void* pointer) = 0;
    virtual deleter_base* Clone() const = 0;  // null when allocation fails
};

template <class T>
struct release_deleter {
    static void Destroy(T* p) {
        if (p) p->Release();
    }
};

template <class T>
struct array_deleter {
    static void Destroy(T* p) { delete[] p; }
};

template <class T, class D>
class deleter_impl final : public deleter_base {
public:
    void Destroy(void* pointer) override { D::Destroy(static_cast<T*>(pointer)); }
    deleter_base* Clone() const override { return new (std::nothrow) deleter_impl(); }
};

// A counted holder of one object, shared by copies; the last copy destroys the object through
// the deleter. When the count block cannot be allocated the holder never destroys the object.
template <class T, class D = release_deleter<T>>
class SharedHolder {
public:
    SharedHolder() = default;
    explicit SharedHolder(T* pointer) : pointer_(pointer), block_(new (std::nothrow) Block) {
        if (block_) block_->deleter = new (std::nothrow) deleter_impl<T, D>();
    }
    SharedHolder(const SharedHolder& o) : pointer_(o.pointer_), block_(o.block_) {
        if (block_) block_->count.fetch_add(1);
    }
    SharedHolder(SharedHolder&& o) noexcept
        : pointer_(std::exchange(o.pointer_, nullptr)), block_(std::exchange(o.block_, nullptr)) {}
    SharedHolder& operator=(SharedHolder o) noexcept {
        std::swap(pointer_, o.pointer_);
        std::swap(block_, o.block_);
        return *this;
    }
    ~SharedHolder() { Release(); }

    void Release() {
        Block* block = std::exchange(block_, nullptr);
        T* pointer = std::exchange(pointer_, nullptr);
        if (!block || block->count.fetch_sub(1) != 1) return;
        if (pointer && block->deleter) block->deleter->Destroy(pointer);
        delete block->deleter;
        delete block;
    }

    T* Get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    LONG UseCount() const { return block_ ? block_->count.load() : 0; }

private:
    struct Block {
        std::atomic<LONG> count{1};
        deleter_base* deleter = nullptr;
    };
    T* pointer_ = nullptr;
    Block* block_ = nullptr;
};

// An array owned by one place, with the deleter that frees it.
struct DeleterPair {
    void* pointer = nullptr;
    deleter_base* deleter = nullptr;
};

// Destroys the pointer through the deleter when both are set, clears the pointer, and deletes
// the deleter when it is set.
void DestroyWithDeleter(DeleterPair& pair);
