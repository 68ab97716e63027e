// OLE for the calling thread (drag and drop needs it), for as long as the object lives.
#pragma once

#include <windows.h>
#include <ole2.h>

namespace qh {

class ScopedOleInitialize {
public:
    ScopedOleInitialize() : m_result(::OleInitialize(nullptr)) {}
    ScopedOleInitialize(const ScopedOleInitialize&) = delete;
    ScopedOleInitialize& operator=(const ScopedOleInitialize&) = delete;
    ~ScopedOleInitialize()
    {
        if (SUCCEEDED(m_result)) {
            ::OleUninitialize();
        }
    }
    // False when the thread could not be set up (it already runs a multithreaded apartment).
    [[nodiscard]] bool Succeeded() const { return SUCCEEDED(m_result); }

private:
    HRESULT m_result;
};

}  // namespace qh
