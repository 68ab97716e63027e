// Move-only ownership of a Win32 handle: Traits names the handle type, its invalid value and how
// to close it.
#pragma once

#include <utility>

namespace qh {

template <typename Traits>
class Unique {
public:
    using Handle = typename Traits::Handle;

    Unique() = default;
    explicit Unique(Handle handle) : m_handle(handle) {}
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& other) noexcept : m_handle(std::exchange(other.m_handle, Traits::Invalid())) {}
    Unique& operator=(Unique&& other) noexcept
    {
        if (this != &other) {
            Reset(std::exchange(other.m_handle, Traits::Invalid()));
        }
        return *this;
    }
    ~Unique() { Reset(); }

    [[nodiscard]] Handle Get() const { return m_handle; }
    [[nodiscard]] explicit operator bool() const { return m_handle != Traits::Invalid(); }
    void Reset(Handle handle = Traits::Invalid())
    {
        if (m_handle != Traits::Invalid()) {
            Traits::Close(m_handle);
        }
        m_handle = handle;
    }
    [[nodiscard]] Handle Release() { return std::exchange(m_handle, Traits::Invalid()); }

private:
    Handle m_handle = Traits::Invalid();
};

}  // namespace qh
